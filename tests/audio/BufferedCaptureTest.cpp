#include "audio/BufferedCapture.h"

#include "fakes/FakeAudio.h"
#include "runtime/VirtualEventLoop.h"

#include <cstring>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

class BufferedCaptureTest : public ::testing::Test {
protected:
    // The main window's settings: 5512 stereo 16-bit frames per buffer, four buffers.
    void configureAsMainWindow() {
        capture.setBufferSize(22048);
        capture.setFrameRate(44100);
        capture.setNumBuffers(4);
        capture.setQuantization(16);
        capture.setStereo(true);
        capture.setOnBufferFilled([this](std::span<const std::uint8_t> buffer, int& size) {
            std::int16_t first = 0;
            std::memcpy(&first, buffer.data(), 2);
            received.push_back({first, size, buffer.size()});
            return giveBack;
        });
    }
    struct Received {
        std::int16_t firstSample;
        int size;
        std::size_t bytes;
    };

    VirtualEventLoop loop;
    test::FakeCaptureDriver driver{loop};
    BufferedCapture capture{driver};
    std::vector<Received> received;
    bool giveBack = true;
};

TEST_F(BufferedCaptureTest, StartsWithTheComponentsDefaults) {
    EXPECT_EQ(capture.bufferSize(), 8192);
    EXPECT_EQ(capture.numBuffers(), 4);
    EXPECT_EQ(capture.frameRate(), 22050);
    EXPECT_FALSE(capture.stereo());
    EXPECT_EQ(capture.quantization(), 16);
    EXPECT_EQ(capture.waveDevice(), -1);
}

TEST_F(BufferedCaptureTest, SettersKeepValuesInTheirRanges) {
    capture.setBufferSize(100);
    EXPECT_EQ(capture.bufferSize(), 512);
    capture.setNumBuffers(1);
    EXPECT_EQ(capture.numBuffers(), 2);
    capture.setNumBuffers(9);
    EXPECT_EQ(capture.numBuffers(), 4);
    capture.setQuantization(12);
    EXPECT_EQ(capture.quantization(), 16);
    capture.setQuantization(4);
    EXPECT_EQ(capture.quantization(), 8);
    capture.setQuantization(8);
    EXPECT_EQ(capture.quantization(), 8);
}

TEST_F(BufferedCaptureTest, DerivesTheFormatFromItsProperties) {
    configureAsMainWindow();
    EXPECT_EQ(capture.blockAlign(), 4);
    EXPECT_EQ(capture.bytesPerSecond(), 176'400);
    EXPECT_EQ(capture.effectiveBufferSize(), 22048);
    capture.setBufferSize(22047);
    EXPECT_EQ(capture.effectiveBufferSize(), 22044);
    capture.setStereo(false);
    capture.setQuantization(8);
    EXPECT_EQ(capture.blockAlign(), 1);
    EXPECT_EQ(capture.effectiveBufferSize(), 22047);
}

TEST_F(BufferedCaptureTest, StartOpensTheDeviceAndQueuesEveryBuffer) {
    configureAsMainWindow();
    capture.setWaveDevice(1);
    ASSERT_TRUE(capture.start());
    EXPECT_EQ(driver.openedNumbers, (std::vector<int>{1}));
    EXPECT_EQ(driver.lastFormat.channels, 2);
    EXPECT_EQ(driver.lastFormat.framesPerSecond, 44100);
    EXPECT_EQ(driver.lastFormat.bitsPerSample, 16);
    EXPECT_TRUE(driver.openDevice->started);
    EXPECT_EQ(driver.openDevice->queue.size(), 4u);
    EXPECT_EQ(driver.openDevice->queue.front().first.size(), 22048u);
    EXPECT_EQ(capture.queuedCount(), 4);
    EXPECT_TRUE(capture.isActive());
    EXPECT_TRUE(capture.isAccepting());
}

TEST_F(BufferedCaptureTest, FilledBuffersReachTheHandlerInOrderWithTheEffectiveSizeAndGoBack) {
    configureAsMainWindow();
    ASSERT_TRUE(capture.start());
    for (std::int16_t sample = 1; sample <= 6; ++sample) {
        driver.fill(1, sample);
        loop.runPending();
    }
    ASSERT_EQ(received.size(), 6u);
    for (std::size_t i = 0; i < received.size(); ++i) {
        EXPECT_EQ(received[i].firstSample, static_cast<std::int16_t>(i + 1));
        EXPECT_EQ(received[i].size, 22048);
        EXPECT_EQ(received[i].bytes, 22048u);
    }
    EXPECT_EQ(capture.queuedCount(), 4);
    EXPECT_EQ(driver.openDevice->queue.size(), 4u);
}

TEST_F(BufferedCaptureTest, BuffersNotGivenBackDrainTheQueueAndCloseTheDevice) {
    configureAsMainWindow();
    ASSERT_TRUE(capture.start());
    giveBack = false;
    driver.fill(3);
    loop.runPending();
    EXPECT_TRUE(capture.isOpen());
    EXPECT_EQ(capture.queuedCount(), 1);
    driver.fill(1);
    loop.runPending();
    EXPECT_FALSE(capture.isActive());
    EXPECT_FALSE(capture.isOpen());
    EXPECT_EQ(received.size(), 4u);
}

TEST_F(BufferedCaptureTest, OpeningTwiceIsRefused) {
    configureAsMainWindow();
    ASSERT_TRUE(capture.start());
    EXPECT_FALSE(capture.openDevice());
    EXPECT_EQ(capture.lastError(), "Wave Input device is already open");
}

TEST_F(BufferedCaptureTest, AFailedOpenKeepsTheSystemsText) {
    driver.failOpen = true;
    EXPECT_FALSE(capture.start());
    EXPECT_FALSE(capture.isOpen());
    EXPECT_EQ(capture.lastError(), "The device is not there.");
}

TEST_F(BufferedCaptureTest, AFailedStartClosesTheDevice) {
    driver.failStart = true;
    EXPECT_FALSE(capture.start());
    EXPECT_FALSE(capture.isOpen());
    EXPECT_EQ(capture.lastError(), "Error starting wave record: The device is busy.");
}

TEST_F(BufferedCaptureTest, AFailedQueueStopsAccepting) {
    driver.failAddBuffer = true;
    EXPECT_FALSE(capture.start());
    EXPECT_FALSE(capture.isAccepting());
    EXPECT_FALSE(capture.isOpen());
    EXPECT_EQ(capture.lastError(), "The buffer was refused.");
}

TEST_F(BufferedCaptureTest, StopReturnsTheQueuedBuffersWithoutHandingThemOn) {
    configureAsMainWindow();
    ASSERT_TRUE(capture.start());
    capture.stop();
    EXPECT_FALSE(capture.isOpen());
    loop.runPending(); // the buffers the reset returned
    EXPECT_TRUE(received.empty());
    EXPECT_FALSE(capture.isOpen());
}

TEST_F(BufferedCaptureTest, NotificationsArrivingAfterTheComponentIsGoneAreDropped) {
    auto doomed = std::make_unique<BufferedCapture>(driver);
    int calls = 0;
    doomed->setOnBufferFilled([&](std::span<const std::uint8_t>, int&) { return ++calls, true; });
    ASSERT_TRUE(doomed->start());
    driver.fill(2);
    doomed.reset();
    loop.runPending();
    EXPECT_EQ(calls, 0);
}

} // namespace
} // namespace quietmon
