#include "audio/TAudioIn.h"

#include "fakes/FakeAudio.h"
#include "platform/VirtualEventLoop.h"

#include <cstring>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

class TAudioInTest : public ::testing::Test {
protected:
    // The main window's settings: 5512 stereo 16-bit frames per buffer, four buffers.
    void configureAsMainWindow() {
        audioIn.setBufferSize(22048);
        audioIn.setFrameRate(44100);
        audioIn.setNumBuffers(4);
        audioIn.setQuantization(16);
        audioIn.setStereo(true);
        audioIn.setOnBufferFilled([this](std::span<const std::uint8_t> buffer, int& size) {
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
    test::FakeWaveInDriver driver{loop};
    TAudioIn audioIn{driver};
    std::vector<Received> received;
    bool giveBack = true;
};

TEST_F(TAudioInTest, StartsWithTheComponentsDefaults) {
    EXPECT_EQ(audioIn.bufferSize(), 8192);
    EXPECT_EQ(audioIn.numBuffers(), 4);
    EXPECT_EQ(audioIn.frameRate(), 22050);
    EXPECT_FALSE(audioIn.stereo());
    EXPECT_EQ(audioIn.quantization(), 16);
    EXPECT_EQ(audioIn.waveDevice(), -1);
}

TEST_F(TAudioInTest, SettersKeepValuesInTheirRanges) {
    audioIn.setBufferSize(100);
    EXPECT_EQ(audioIn.bufferSize(), 512);
    audioIn.setNumBuffers(1);
    EXPECT_EQ(audioIn.numBuffers(), 2);
    audioIn.setNumBuffers(9);
    EXPECT_EQ(audioIn.numBuffers(), 4);
    audioIn.setQuantization(12);
    EXPECT_EQ(audioIn.quantization(), 16);
    audioIn.setQuantization(4);
    EXPECT_EQ(audioIn.quantization(), 8);
    audioIn.setQuantization(8);
    EXPECT_EQ(audioIn.quantization(), 8);
}

TEST_F(TAudioInTest, DerivesTheFormatFromItsProperties) {
    configureAsMainWindow();
    EXPECT_EQ(audioIn.blockAlign(), 4);
    EXPECT_EQ(audioIn.bytesPerSecond(), 176'400);
    EXPECT_EQ(audioIn.effectiveBufferSize(), 22048);
    audioIn.setBufferSize(22047);
    EXPECT_EQ(audioIn.effectiveBufferSize(), 22044);
    audioIn.setStereo(false);
    audioIn.setQuantization(8);
    EXPECT_EQ(audioIn.blockAlign(), 1);
    EXPECT_EQ(audioIn.effectiveBufferSize(), 22047);
}

TEST_F(TAudioInTest, StartOpensTheDeviceAndQueuesEveryBuffer) {
    configureAsMainWindow();
    audioIn.setWaveDevice(1);
    ASSERT_TRUE(audioIn.Start());
    EXPECT_EQ(driver.openedNumbers, (std::vector<int>{1}));
    EXPECT_EQ(driver.lastFormat.channels, 2);
    EXPECT_EQ(driver.lastFormat.framesPerSecond, 44100);
    EXPECT_EQ(driver.lastFormat.bitsPerSample, 16);
    EXPECT_TRUE(driver.openDevice->started);
    EXPECT_EQ(driver.openDevice->queue.size(), 4u);
    EXPECT_EQ(driver.openDevice->queue.front().first.size(), 22048u);
    EXPECT_EQ(audioIn.queuedCount(), 4);
    EXPECT_TRUE(audioIn.isActive());
    EXPECT_TRUE(audioIn.isAccepting());
}

TEST_F(TAudioInTest, FilledBuffersReachTheHandlerInOrderWithTheEffectiveSizeAndGoBack) {
    configureAsMainWindow();
    ASSERT_TRUE(audioIn.Start());
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
    EXPECT_EQ(audioIn.queuedCount(), 4);
    EXPECT_EQ(driver.openDevice->queue.size(), 4u);
}

TEST_F(TAudioInTest, BuffersNotGivenBackDrainTheQueueAndCloseTheDevice) {
    configureAsMainWindow();
    ASSERT_TRUE(audioIn.Start());
    giveBack = false;
    driver.fill(3);
    loop.runPending();
    EXPECT_TRUE(audioIn.isOpen());
    EXPECT_EQ(audioIn.queuedCount(), 1);
    driver.fill(1);
    loop.runPending();
    EXPECT_FALSE(audioIn.isActive());
    EXPECT_FALSE(audioIn.isOpen());
    EXPECT_EQ(received.size(), 4u);
}

TEST_F(TAudioInTest, OpeningTwiceIsRefused) {
    configureAsMainWindow();
    ASSERT_TRUE(audioIn.Start());
    EXPECT_FALSE(audioIn.OpenDevice());
    EXPECT_EQ(audioIn.lastError(), "Wave Input device is already open");
}

TEST_F(TAudioInTest, AFailedOpenKeepsTheSystemsText) {
    driver.failOpen = true;
    EXPECT_FALSE(audioIn.Start());
    EXPECT_FALSE(audioIn.isOpen());
    EXPECT_EQ(audioIn.lastError(), "The device is not there.");
}

TEST_F(TAudioInTest, AFailedStartClosesTheDevice) {
    driver.failStart = true;
    EXPECT_FALSE(audioIn.Start());
    EXPECT_FALSE(audioIn.isOpen());
    EXPECT_EQ(audioIn.lastError(), "Error starting wave record: The device is busy.");
}

TEST_F(TAudioInTest, AFailedQueueStopsAccepting) {
    driver.failAddBuffer = true;
    EXPECT_FALSE(audioIn.Start());
    EXPECT_FALSE(audioIn.isAccepting());
    EXPECT_FALSE(audioIn.isOpen());
    EXPECT_EQ(audioIn.lastError(), "The buffer was refused.");
}

TEST_F(TAudioInTest, StopReturnsTheQueuedBuffersWithoutHandingThemOn) {
    configureAsMainWindow();
    ASSERT_TRUE(audioIn.Start());
    audioIn.Stop();
    EXPECT_FALSE(audioIn.isOpen());
    loop.runPending(); // the buffers the reset returned
    EXPECT_TRUE(received.empty());
    EXPECT_FALSE(audioIn.isOpen());
}

TEST_F(TAudioInTest, NotificationsArrivingAfterTheComponentIsGoneAreDropped) {
    auto doomed = std::make_unique<TAudioIn>(driver);
    int calls = 0;
    doomed->setOnBufferFilled([&](std::span<const std::uint8_t>, int&) { return ++calls, true; });
    ASSERT_TRUE(doomed->Start());
    driver.fill(2);
    doomed.reset();
    loop.runPending();
    EXPECT_EQ(calls, 0);
}

} // namespace
} // namespace quietmon
