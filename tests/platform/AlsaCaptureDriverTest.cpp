#include "platform/linux/AlsaCaptureDriver.h"

#include "audio/AudioInput.h"
#include "audio/BufferedCapture.h"
#include "audio/LevelMeasurement.h"
#include "fakes/FakeAudio.h"
#include "platform/linux/AlsaPcmCapture.h"
#include "platform/linux/PulseCapture.h"
#include "platform/linux/SoundServerRoute.h"
#include "runtime/VirtualEventLoop.h"
#include "support/EnvironmentOverride.h"
#include "support/PulseTestServer.h"
#include "support/RealTimeLoop.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace quietmon {
namespace {

// The audio input's settings: 5512 stereo 16-bit frames per buffer at 44100 Hz, four buffers.
void configureAsTheProgram(BufferedCapture& capture, int device) {
    capture.setWaveDevice(device);
    capture.setBufferSize(22048);
    capture.setFrameRate(44100);
    capture.setNumBuffers(4);
    capture.setQuantization(16);
    capture.setStereo(true);
}

// Capture from ALSA's "pulse" device, which is read straight from the test environment's sound server, whose
// default source is the null sink's monitor: what is played into the sink comes back as captured buffers.
class AlsaCaptureDriverTest : public ::testing::Test {
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
        return test::runInRealTime(loop, std::chrono::seconds(15), [&] { return peaks.size() >= count; });
    }

    struct Peaks {
        int left = 0;
        int right = 0;
        int size = 0;
    };

    VirtualEventLoop loop;
    AlsaCaptureDriver driver{loop};
    std::vector<Peaks> peaks;
};

TEST_F(AlsaCaptureDriverTest, ListsDefaultAndTheSoundServerFirstAndNoPluginThatIsNoInput) {
    const auto names = driver.deviceNames();
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[0], "default");
    EXPECT_EQ(names[1], "pulse");
    for (const char* notAnInput :
         {"null", "lavrate", "samplerate", "speexrate", "speex", "upmix", "vdownmix"})
        EXPECT_EQ(std::find(names.begin(), names.end(), notAnInput), names.end()) << notAnInput;
}

TEST_F(AlsaCaptureDriverTest, BuffersOf22048BytesCarryTheSignalPlayedIntoTheSink) {
    const int pulse = deviceNumber("pulse");
    ASSERT_GE(pulse, 0);
    BufferedCapture capture(driver);
    configureAsTheProgram(capture, pulse);
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

TEST_F(AlsaCaptureDriverTest, AnUnknownDeviceNumberFailsWithAText) {
    std::string error;
    EXPECT_FALSE(driver.open(
        100'000, CaptureFormat{}, [](int) {}, error));
    EXPECT_FALSE(error.empty());
}

TEST_F(AlsaCaptureDriverTest, DefaultOnTheTestEnvironmentOnlyForwardsToItsSoundServer) {
    const std::optional<SoundServerSource> source = soundServerSourceOf("default");
    ASSERT_TRUE(source.has_value());
    EXPECT_EQ(source->source, "");
}

// The two ways to the same audio: straight from the server, and through ALSA's PulseAudio plugin.
enum class CapturePath { soundServer, alsaPlugin };

std::string describe(CapturePath path) {
    return path == CapturePath::soundServer ? "from the server" : "through ALSA";
}

// A driver whose only device reads the server's default source by one path.
class OnePathDriver final : public CaptureDriver {
public:
    OnePathDriver(EventLoop& loop, CapturePath path) : m_loop(loop), m_path(path) {}

    CapturePath path() const { return m_path; }

    std::vector<std::string> deviceNames() override { return {"pulse"}; }
    std::unique_ptr<CaptureDevice> open(int, const CaptureFormat& format, BufferDone onBufferDone,
                                        std::string& error) override {
        if (m_path == CapturePath::alsaPlugin)
            return AlsaPcmCapture::open("pulse", format, m_loop, std::move(onBufferDone), error);
        auto capture =
            std::make_unique<PulseCapture>(SoundServerSource{}, format, m_loop, std::move(onBufferDone));
        if (capture->connect(std::chrono::seconds(5), error) != PulseCapture::Connection::recording)
            return nullptr;
        return capture;
    }

private:
    EventLoop& m_loop;
    CapturePath m_path;
};

// The capture component as the program sets it up, measuring each buffer as the program does.
struct MeasuredCapture {
    MeasuredCapture(EventLoop& loop, CapturePath path) : driver(loop, path), capture(driver) {
        configureAsTheProgram(capture, 0);
        capture.setOnBufferFilled([this](std::span<const std::uint8_t> buffer, int& size) {
            if (const std::optional<Levels> measured = measureBuffer(state, buffer, size, 100, false))
                levels.push_back(*measured);
            return true;
        });
    }

    OnePathDriver driver;
    BufferedCapture capture;
    MeasurementState state;
    std::vector<Levels> levels;
};

TEST(CapturePaths, TheSameToneMeasuresTheSameLevelsFromTheServerAndThroughAlsa) {
    test::PulseTestServer server;
    test::EnvironmentOverride privateServer("PULSE_SERVER", server.address());
    VirtualEventLoop loop;
    MeasuredCapture fromServer(loop, CapturePath::soundServer);
    MeasuredCapture throughAlsa(loop, CapturePath::alsaPlugin);
    test::TonePlayer tone(server.address(), test::PulseTestServer::sinkName, {0.5f, 0.25f});

    ASSERT_TRUE(fromServer.capture.start()) << fromServer.capture.lastError();
    ASSERT_TRUE(throughAlsa.capture.start()) << throughAlsa.capture.lastError();
    ASSERT_TRUE(test::runInRealTime(loop, std::chrono::seconds(15), [&] {
        return fromServer.levels.size() >= 16 && throughAlsa.levels.size() >= 16;
    }));
    fromServer.capture.stop();
    throughAlsa.capture.stop();
    // The latest buffers are well inside the tone: half scale is -6 dB, a quarter -12 dB.
    for (const MeasuredCapture* path : {&fromServer, &throughAlsa}) {
        EXPECT_EQ(path->levels.back().dbLeft, -6) << describe(path->driver.path());
        EXPECT_EQ(path->levels.back().dbRight, -12) << describe(path->driver.path());
    }
    EXPECT_NEAR(fromServer.levels.back().left, throughAlsa.levels.back().left, 0.01);
    EXPECT_NEAR(fromServer.levels.back().right, throughAlsa.levels.back().right, 0.01);
}

TEST(CapturePaths, BuffersComeBackInTheOrderTheyWereQueuedAndAResetReturnsTheRest) {
    test::PulseTestServer server;
    test::EnvironmentOverride privateServer("PULSE_SERVER", server.address());
    for (const CapturePath path : {CapturePath::soundServer, CapturePath::alsaPlugin}) {
        VirtualEventLoop loop;
        OnePathDriver driver(loop, path);
        std::vector<int> returned;
        std::string error;
        std::vector<std::vector<std::uint8_t>> buffers(3, std::vector<std::uint8_t>(22048));
        const auto device = driver.open(
            0, CaptureFormat{}, [&returned](int tag) { returned.push_back(tag); }, error);
        ASSERT_NE(device, nullptr) << describe(path) << ": " << error;
        for (int tag = 0; tag < 3; ++tag)
            ASSERT_TRUE(device->addBuffer(buffers[static_cast<std::size_t>(tag)], 7 + tag, error));
        ASSERT_TRUE(device->start(error)) << describe(path) << ": " << error;
        ASSERT_TRUE(test::runInRealTime(loop, std::chrono::seconds(10), [&returned] {
            return !returned.empty();
        })) << describe(path);
        device->reset();
        loop.runPending();
        EXPECT_EQ(returned, (std::vector<int>{7, 8, 9})) << describe(path);
    }
}

// Another reader asks the server for 10 ms fragments of the same source, so that the server delivers in
// pieces of that size: the buffers still carry the signal, for about two wake-ups each (a few more allowed
// for a server late under load; following every piece would take a dozen).
TEST(CapturePaths, AServerDeliveringInSmallPiecesCostsAtMostTwoWakeUpsPerBuffer) {
    test::PulseTestServer server;
    test::EnvironmentOverride privateServer("PULSE_SERVER", server.address());
    VirtualEventLoop loop;
    test::WakeUpCountingLoop counting(loop);
    MeasuredCapture fromServer(counting, CapturePath::soundServer);
    test::TonePlayer tone(server.address(), test::PulseTestServer::sinkName, {0.5f, 0.25f});
    test::HurryingReader hurry(server.address(), test::PulseTestServer::monitorName);

    ASSERT_TRUE(fromServer.capture.start()) << fromServer.capture.lastError();
    // From the first buffer on: the start-up's reads come before it.
    ASSERT_TRUE(
        test::runInRealTime(loop, std::chrono::seconds(10), [&] { return !fromServer.levels.empty(); }));
    const int wakeUpsBefore = counting.wakeUps;
    const std::size_t buffersBefore = fromServer.levels.size();
    ASSERT_TRUE(test::runInRealTime(loop, std::chrono::seconds(15),
                                    [&] { return fromServer.levels.size() >= buffersBefore + 16; }));
    const auto buffers = static_cast<int>(fromServer.levels.size() - buffersBefore);
    fromServer.capture.stop();
    EXPECT_LE(counting.wakeUps - wakeUpsBefore, 2 * buffers + 4);
    EXPECT_EQ(fromServer.levels.back().dbLeft, -6);
    EXPECT_EQ(fromServer.levels.back().dbRight, -12);
}

TEST(CapturePaths, ASoundServerThatNeverAnswersFailsTheOpenWithinTheAnswerTimeout) {
    if (!std::getenv("PULSE_SERVER"))
        GTEST_SKIP() << "needs the test environment's sound server (scripts/test-env)";
    VirtualEventLoop loop;
    AlsaCaptureDriver driver(loop, std::chrono::milliseconds(300));
    // Listed while the server answered; it stops answering before the device is opened.
    const auto names = driver.deviceNames();
    const auto pulse = std::find(names.begin(), names.end(), "pulse");
    ASSERT_NE(pulse, names.end());
    test::UnansweringServer silent;
    test::EnvironmentOverride override("PULSE_SERVER", silent.address());

    const auto started = std::chrono::steady_clock::now();
    std::string error;
    EXPECT_EQ(driver.open(
                  static_cast<int>(pulse - names.begin()), CaptureFormat{}, [](int) {}, error),
              nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_FALSE(error.empty());
}

TEST(CaptureDeviceListing, ASoundServersDeviceIsOfferedOnlyWhileItsServerIsThere) {
    using namespace std::chrono_literals;
    const auto offered = [](const std::string& device) {
        VirtualEventLoop loop;
        AlsaCaptureDriver driver(loop, 300ms);
        const auto names = driver.deviceNames();
        return std::find(names.begin(), names.end(), device) != names.end();
    };
    if (!std::getenv("PULSE_SERVER") || !offered("pulse"))
        GTEST_SKIP() << "needs the test environment's sound server (scripts/test-env)";

    struct Case {
        const char* what;
        std::string server;
        bool offered;
        std::chrono::milliseconds within;
    };
    test::UnansweringServer silent;
    test::TempFolder empty;
    const Case cases[] = {
        {"no server at the address", "unix:" + empty.file("native"), false, 200ms},
        // Taken to be there, as one that systemd is starting: the wait for it is bounded.
        {"a server that has not answered yet", silent.address(), true, 300ms + 500ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::EnvironmentOverride override("PULSE_SERVER", c.server);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(offered("pulse"), c.offered);
        EXPECT_LT(std::chrono::steady_clock::now() - started, c.within);
    }

    // ALSA's "jack" plugin device, against a JACK server's socket of the test's own.
    const std::string jackServer = "quietmon-test-" + std::to_string(::getpid());
    test::EnvironmentOverride jackName("JACK_DEFAULT_SERVER", jackServer);
    EXPECT_FALSE(offered("jack"));
    const std::string jackSocket = "/dev/shm/jack_" + jackServer + "_" + std::to_string(::getuid()) + "_0";
    {
        const test::UnansweringServer jack(jackSocket);
        EXPECT_TRUE(offered("jack"));
    }
    ::unlink(jackSocket.c_str());
}

// The sound server dies and comes back while the program captures through it: the watchdog brings the
// capture back by itself. Virtual time follows real time, since the restart waits for the watchdog's 10 s.
TEST(AlsaCaptureRecovery, CaptureComesBackWithin20SecondsOfTheServersReturn) {
    test::PulseTestServer server;
    test::EnvironmentOverride privateServer("PULSE_SERVER", server.address());

    VirtualEventLoop loop;
    AlsaCaptureDriver driver(loop);
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

    {
        test::TonePlayer tone(server.address(), test::PulseTestServer::sinkName, {0.5f, 0.5f});
        ASSERT_TRUE(test::runInRealTime(loop, std::chrono::seconds(10), [&] { return buffers >= 8; }));
    }
    server.kill();
    test::runInRealTime(loop, std::chrono::seconds(2), [] { return false; });
    server.start();
    const int before = buffers;
    test::TonePlayer tone(server.address(), test::PulseTestServer::sinkName, {0.5f, 0.5f});
    EXPECT_TRUE(test::runInRealTime(loop, std::chrono::seconds(20), [&] { return buffers >= before + 8; }));
    input.reset();
}

} // namespace
} // namespace quietmon
