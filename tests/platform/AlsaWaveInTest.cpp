#include "platform/linux/AlsaWaveIn.h"

#include "audio/AudioInput.h"
#include "audio/WaveInCapture.h"
#include "fakes/FakeAudio.h"
#include "platform/VirtualEventLoop.h"
#include "support/PulseTestServer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

namespace quietmon {
namespace {

// Capture through ALSA's "pulse" device from the test environment's sound server, whose default source
// is the null sink's monitor: what is played into the sink comes back as captured buffers.
class AlsaWaveInTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("PULSE_SERVER"))
            GTEST_SKIP() << "needs the test environment's sound server (scripts/test-env)";
    }

    int deviceNumber(const std::string& name) {
        const auto names = driver.deviceNames();
        const auto found = std::find(names.begin(), names.end(), name);
        return found == names.end() ? -1 : static_cast<int>(found - names.begin());
    }

    // Runs the logic side until `count` buffers arrived or 15 s of real time passed.
    bool receive(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (peaks.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            loop.runPending();
        }
        return peaks.size() >= count;
    }

    struct Peaks {
        int left = 0;
        int right = 0;
        int size = 0;
    };

    VirtualEventLoop loop;
    AlsaWaveInDriver driver{loop};
    std::vector<Peaks> peaks;
};

TEST_F(AlsaWaveInTest, ListsDefaultAndTheSoundServerFirstAndNoPluginThatIsNoInput) {
    const auto names = driver.deviceNames();
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[0], "default");
    EXPECT_EQ(names[1], "pulse");
    for (const char* notAnInput :
         {"null", "lavrate", "samplerate", "speexrate", "speex", "upmix", "vdownmix"})
        EXPECT_EQ(std::find(names.begin(), names.end(), notAnInput), names.end()) << notAnInput;
}

TEST_F(AlsaWaveInTest, BuffersOf22048BytesCarryTheSignalPlayedIntoTheSink) {
    const int pulse = deviceNumber("pulse");
    ASSERT_GE(pulse, 0);
    WaveInCapture capture(driver);
    capture.setWaveDevice(pulse);
    capture.setBufferSize(22048);
    capture.setFrameRate(44100);
    capture.setNumBuffers(4);
    capture.setQuantization(16);
    capture.setStereo(true);
    capture.setOnBufferFilled([this](std::span<const std::uint8_t> buffer, int& size) {
        Peaks found{0, 0, size};
        for (std::size_t i = 0; i + 3 < buffer.size(); i += 4) {
            std::int16_t left = 0, right = 0;
            std::memcpy(&left, buffer.data() + i, 2);
            std::memcpy(&right, buffer.data() + i + 2, 2);
            found.left = std::max(found.left, std::abs(static_cast<int>(left)));
            found.right = std::max(found.right, std::abs(static_cast<int>(right)));
        }
        peaks.push_back(found);
        return true;
    });
    // Half scale on the left, a quarter on the right.
    const char* sink = std::getenv("QUIETMON_PULSE_SINK");
    test::TonePlayer tone("", sink ? sink : "ci_sink", {0.5f, 0.25f});
    ASSERT_TRUE(capture.start()) << capture.lastError();
    ASSERT_TRUE(receive(16));
    capture.stop();
    EXPECT_EQ(peaks.front().size, 22048);
    // The latest buffers are well inside the tone.
    const Peaks& late = peaks.back();
    EXPECT_NEAR(late.left, 16384, 700);
    EXPECT_NEAR(late.right, 8192, 400);
}

TEST_F(AlsaWaveInTest, AnUnknownDeviceNumberFailsWithAText) {
    std::string error;
    EXPECT_FALSE(driver.open(
        100'000, WaveInFormat{}, [](int) {}, error));
    EXPECT_FALSE(error.empty());
}

// The sound server dies and comes back while the program captures through it: the watchdog brings the
// capture back by itself. This runs in real time, since the restart waits for the watchdog's 10 s.
TEST(AlsaCaptureRecovery, CaptureComesBackWithin20SecondsOfTheServersReturn) {
    test::PulseTestServer server;
    const char* previous = std::getenv("PULSE_SERVER");
    const std::string restore = previous ? previous : "";
    ::setenv("PULSE_SERVER", server.address().c_str(), 1);

    VirtualEventLoop loop;
    AlsaWaveInDriver driver(loop);
    test::FakeAudioEndpoints noEndpoints;
    noEndpoints.endpoints.clear();
    int buffers = 0;
    std::unique_ptr<AudioInput> input;
    input = std::make_unique<AudioInput>(
        loop, driver, noEndpoints, [](const std::string&) {},
        [&](MeasureMode, std::span<const std::uint8_t>, int) {
            ++buffers;
            input->bufferReachedMeasurement(loop.clock().now());
        });
    GeneralSettings general;
    general.audioInDeviceName = "pulse";
    input->listAudioDevices();
    input->chooseStartupDevice(general);
    input->openSelectedAudioDevice(general.audioInDevice);

    // Virtual time follows real time here, so that the watchdog's ticks come when they would.
    const auto runFor = [&](std::chrono::milliseconds span, const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < deadline && !done()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            loop.advance(50);
        }
        return done();
    };
    {
        test::TonePlayer tone(server.address(), test::PulseTestServer::sinkName, {0.5f, 0.5f});
        ASSERT_TRUE(runFor(std::chrono::seconds(10), [&] { return buffers >= 8; }));
    }
    server.kill();
    runFor(std::chrono::seconds(2), [] { return false; });
    server.start();
    const int before = buffers;
    test::TonePlayer tone(server.address(), test::PulseTestServer::sinkName, {0.5f, 0.5f});
    EXPECT_TRUE(runFor(std::chrono::seconds(20), [&] { return buffers >= before + 8; }));
    input.reset();
    if (restore.empty())
        ::unsetenv("PULSE_SERVER");
    else
        ::setenv("PULSE_SERVER", restore.c_str(), 1);
}

} // namespace
} // namespace quietmon
