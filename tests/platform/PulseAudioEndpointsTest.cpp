#include "platform/linux/PulseAudioEndpoints.h"

#include "support/EnvironmentOverride.h"
#include "support/PulseTestServer.h"
#include "support/RealTimeLoop.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string_view>
#include <thread>
#include <unistd.h>

namespace quietmon {
namespace {

using namespace std::chrono_literals;
using Peaks = std::optional<std::vector<float>>;

// The test environment's server: a null sink "ci_sink" (described "Test_Null_Sink") and a pipe source.
constexpr const char* environmentMonitor = "ci_sink.monitor";
constexpr const char* environmentMic = "ci_mic";
// The program's default polling interval.
constexpr int readInterval = 100;

// Reads `meter` every 50 ms until a read is `wanted`, for at most `timeout`; the last read. A null sink
// that nothing played into renders up to 2 s ahead, so a new tone may take that long to reach its monitor.
Peaks readUntil(EndpointPeakMeter& meter, const std::function<bool(const Peaks&)>& wanted,
                std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Peaks peaks = meter.readPeaks();
    while (!wanted(peaks) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
        peaks = meter.readPeaks();
    }
    return peaks;
}

// The peaks of the next 200 ms alone: about two of the server's fragments.
Peaks readWindow(EndpointPeakMeter& meter) {
    meter.readPeaks();
    std::this_thread::sleep_for(200ms);
    return meter.readPeaks();
}

bool isLost(const Peaks& peaks) {
    return !peaks;
}

// A sine's largest sample falls within 0.3 % of its amplitude at 44100 Hz; PulseAudio's 16-bit sink adds
// far less. PipeWire resamples the tone to its graph's 48 kHz, and its resampler rings by a few per cent
// where a busy machine makes the stream skip.
std::function<bool(const Peaks&)> near(std::vector<float> expected) {
    const char* server = std::getenv("QUIETMON_SOUND_SERVER");
    const float tolerance = server && std::string_view(server) == "pipewire" ? 0.025f : 0.01f;
    return [expected, tolerance](const Peaks& peaks) {
        if (!peaks || peaks->size() != expected.size())
            return false;
        for (std::size_t channel = 0; channel < expected.size(); ++channel) {
            if (std::fabs((*peaks)[channel] - expected[channel]) > tolerance)
                return false;
        }
        return true;
    };
}

bool silent(const Peaks& peaks) {
    return peaks && std::all_of(peaks->begin(), peaks->end(), [](float peak) { return peak < 0.001f; });
}

std::string describe(const Peaks& peaks) {
    if (!peaks)
        return "nothing";
    std::string text = "{";
    for (float peak : *peaks)
        text += " " + std::to_string(peak);
    return text + " }";
}

class PulseAudioEndpointsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("PULSE_SERVER"))
            GTEST_SKIP() << "no sound server: run scripts/test-env up and source its env.sh";
        m_server = std::getenv("PULSE_SERVER");
    }

    // A sink of this test's own on the environment's server, so that no other test's sound reaches it.
    std::unique_ptr<test::TemporaryNullSink> makeSink(int channels = 2) {
        static int count = 0;
        const std::string name =
            "quietmon_meter_test_" + std::to_string(::getpid()) + "_" + std::to_string(++count);
        return std::make_unique<test::TemporaryNullSink>(m_server, name, "Quietmon_Meter_Test", channels);
    }

    std::string m_server;
    PulseAudioEndpoints m_endpoints;
};

TEST_F(PulseAudioEndpointsTest, TheSinkMonitorIsListedAsAnEndpointWithItsDescription) {
    const std::vector<AudioEndpoint> endpoints = m_endpoints.list();
    const auto monitor = std::find_if(endpoints.begin(), endpoints.end(), [](const AudioEndpoint& endpoint) {
        return endpoint.id == environmentMonitor;
    });
    ASSERT_NE(monitor, endpoints.end());
    EXPECT_EQ(monitor->friendlyName, "Monitor of Test_Null_Sink");
}

TEST_F(PulseAudioEndpointsTest, ACaptureSourceIsListedAsAnEndpointWithItsDescription) {
    const std::vector<AudioEndpoint> endpoints = m_endpoints.list();
    const auto mic = std::find_if(endpoints.begin(), endpoints.end(), [](const AudioEndpoint& endpoint) {
        return endpoint.id == environmentMic;
    });
    ASSERT_NE(mic, endpoints.end());
    EXPECT_EQ(mic->friendlyName, "Test_Pipe_Mic");
}

TEST_F(PulseAudioEndpointsTest, EndpointsAreListedInTheOrderTheServerCreatedThem) {
    const auto sink = makeSink();
    const std::vector<AudioEndpoint> endpoints = m_endpoints.list();
    const auto position = [&endpoints](const std::string& id) {
        return std::find_if(endpoints.begin(), endpoints.end(),
                            [&id](const AudioEndpoint& endpoint) { return endpoint.id == id; }) -
               endpoints.begin();
    };
    const auto monitor = position(environmentMonitor);
    const auto mic = position(environmentMic);
    const auto added = position(sink->monitorName());
    ASSERT_LT(added, static_cast<long>(endpoints.size()));
    EXPECT_LT(monitor, mic);
    EXPECT_LT(mic, added);
    EXPECT_EQ(endpoints[static_cast<std::size_t>(added)].friendlyName, "Monitor of Quietmon_Meter_Test");
}

TEST_F(PulseAudioEndpointsTest, TheMonitorOfASinkReadsThePeaksOfEachChannelOfAToneThatPlaysIntoIt) {
    const auto sink = makeSink();
    const auto meter = m_endpoints.openMeter(sink->monitorName(), readInterval);
    ASSERT_NE(meter, nullptr);
    test::TonePlayer tone(m_server, sink->name(), {0.5f, 0.25f});

    const Peaks first = readUntil(*meter, near({0.5f, 0.25f}));
    EXPECT_TRUE(near({0.5f, 0.25f})(first)) << describe(first);
    // Every later read holds the tone's peaks again, not what an earlier read already took.
    for (int window = 0; window < 3; ++window) {
        const Peaks later = readWindow(*meter);
        EXPECT_TRUE(near({0.5f, 0.25f})(later)) << describe(later);
    }
}

// The server delivers about once per read interval, on a clock of its own: a read that comes before the
// next fragment reads the last peaks again, not a moment of silence that never was.
TEST_F(PulseAudioEndpointsTest, AReadBeforeTheNextFragmentReadsTheLastPeaksAgain) {
    const auto sink = makeSink();
    const auto meter = m_endpoints.openMeter(sink->monitorName(), readInterval);
    ASSERT_NE(meter, nullptr);
    test::TonePlayer tone(m_server, sink->name(), {0.5f, 0.25f});
    ASSERT_TRUE(near({0.5f, 0.25f})(readUntil(*meter, near({0.5f, 0.25f}))));

    for (int read = 0; read < 10; ++read) {
        std::this_thread::sleep_for(std::chrono::milliseconds(readInterval));
        const Peaks atInterval = meter->readPeaks();
        EXPECT_TRUE(near({0.5f, 0.25f})(atInterval)) << "read " << read << ": " << describe(atInterval);
        const Peaks atOnce = meter->readPeaks();
        EXPECT_TRUE(near({0.5f, 0.25f})(atOnce)) << "read " << read << " again: " << describe(atOnce);
    }
}

TEST_F(PulseAudioEndpointsTest, DigitalSilencePlayedIntoASinkReadsAsZeroOnItsMonitor) {
    const auto sink = makeSink();
    const auto meter = m_endpoints.openMeter(sink->monitorName(), readInterval);
    ASSERT_NE(meter, nullptr);
    {
        test::TonePlayer tone(m_server, sink->name(), {0.5f, 0.5f});
        ASSERT_TRUE(near({0.5f, 0.5f})(readUntil(*meter, near({0.5f, 0.5f}))));
    }
    test::TonePlayer silence(m_server, sink->name(), {0.0f, 0.0f});

    const Peaks quiet = readUntil(*meter, silent);
    EXPECT_TRUE(silent(quiet)) << describe(quiet);
    const Peaks later = readWindow(*meter);
    EXPECT_TRUE(silent(later)) << describe(later);
}

TEST_F(PulseAudioEndpointsTest, TheMonitorOfASinkThatNothingPlaysIntoReadsZero) {
    const auto sink = makeSink();
    const auto meter = m_endpoints.openMeter(sink->monitorName(), readInterval);
    ASSERT_NE(meter, nullptr);

    ASSERT_TRUE(silent(readUntil(*meter, silent)));
    const Peaks peaks = readWindow(*meter);
    EXPECT_EQ(peaks, (std::vector<float>{0.0f, 0.0f}));
}

// A connected stream that stops delivering (here the whole server stops, keeping the connection) is no
// silent input: it reads as lost, and the meter hears the sink again once the server goes on.
TEST_F(PulseAudioEndpointsTest, AStreamThatStopsDeliveringReadsAsLostUntilDataComesAgain) {
    test::PulseTestServer server;
    test::EnvironmentOverride privateServer("PULSE_SERVER", server.address());
    PulseAudioEndpoints endpoints;
    const auto meter = endpoints.openMeter(test::PulseTestServer::monitorName, readInterval);
    ASSERT_NE(meter, nullptr);
    test::TonePlayer tone(server.address(), test::PulseTestServer::sinkName, {0.5f, 0.25f});
    ASSERT_TRUE(near({0.5f, 0.25f})(readUntil(*meter, near({0.5f, 0.25f}))));

    server.freeze();
    const auto frozenAt = std::chrono::steady_clock::now();
    EXPECT_EQ(readUntil(*meter, isLost, 2s), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - frozenAt, 2 * readInterval * 1ms + 300ms);
    for (int read = 0; read < 20; ++read) {
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(meter->readPeaks(), std::nullopt) << "read " << read;
    }

    server.thaw();
    const Peaks back = readUntil(*meter, near({0.5f, 0.25f}), 15s);
    EXPECT_TRUE(near({0.5f, 0.25f})(back)) << describe(back);
}

TEST_F(PulseAudioEndpointsTest, AMonoEndpointHasOnePeak) {
    const auto sink = makeSink(1);
    const auto meter = m_endpoints.openMeter(sink->monitorName(), readInterval);
    ASSERT_NE(meter, nullptr);
    test::TonePlayer tone(m_server, sink->name(), {0.5f});

    const Peaks peaks = readUntil(*meter, near({0.5f}));
    EXPECT_TRUE(near({0.5f})(peaks)) << describe(peaks);
}

TEST_F(PulseAudioEndpointsTest, NoMeterOpensForAnEndpointThatDoesNotExist) {
    EXPECT_EQ(m_endpoints.openMeter("quietmon_no_such_source", readInterval), nullptr);
}

TEST_F(PulseAudioEndpointsTest, TheMeterOfARemovedEndpointReadsNothing) {
    auto sink = makeSink();
    const auto meter = m_endpoints.openMeter(sink->monitorName(), readInterval);
    ASSERT_NE(meter, nullptr);
    EXPECT_TRUE(silent(readUntil(*meter, silent)));

    sink->unload();
    EXPECT_EQ(readUntil(*meter, isLost), std::nullopt);
}

TEST_F(PulseAudioEndpointsTest, WhereNoServerListensTheListIsEmptyAndNoMeterOpens) {
    test::TempFolder folder;
    test::EnvironmentOverride nowhere("PULSE_SERVER", "unix:" + folder.file("native"));
    PulseAudioEndpoints endpoints;

    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(endpoints.list().empty());
    EXPECT_EQ(endpoints.openMeter(environmentMonitor, readInterval), nullptr);
    // Each call waits at most the 5 s answer timeout.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

TEST_F(PulseAudioEndpointsTest, AServerThatNeverAnswersHoldsTheCallerNoLongerThanTheAnswerTimeout) {
    test::UnansweringServer silent;
    test::EnvironmentOverride override("PULSE_SERVER", silent.address());
    PulseAudioEndpoints endpoints(300ms);

    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(endpoints.list().empty());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    started = std::chrono::steady_clock::now();
    EXPECT_EQ(endpoints.openMeter(environmentMonitor, readInterval), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
}

TEST_F(PulseAudioEndpointsTest, AMeterWhoseServerIsGoneIsDestroyedAtOnce) {
    test::PulseTestServer server;
    test::EnvironmentOverride privateServer("PULSE_SERVER", server.address());
    PulseAudioEndpoints endpoints;
    auto meter = endpoints.openMeter(test::PulseTestServer::monitorName, readInterval);
    ASSERT_NE(meter, nullptr);

    server.kill();
    ASSERT_EQ(readUntil(*meter, isLost), std::nullopt);
    const auto started = std::chrono::steady_clock::now();
    meter.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
}

// The one test that waits for the meter's 10 s reconnection interval in real time.
TEST_F(PulseAudioEndpointsTest, AMeterReconnectsByItselfWhenItsServerComesBack) {
    test::PulseTestServer server;
    test::EnvironmentOverride privateServer("PULSE_SERVER", server.address());
    PulseAudioEndpoints endpoints;
    const auto meter = endpoints.openMeter(test::PulseTestServer::monitorName, readInterval);
    ASSERT_NE(meter, nullptr);
    {
        test::TonePlayer tone(server.address(), test::PulseTestServer::sinkName, {0.5f, 0.25f});
        ASSERT_TRUE(near({0.5f, 0.25f})(readUntil(*meter, near({0.5f, 0.25f}))));
        server.kill();
        EXPECT_EQ(readUntil(*meter, isLost), std::nullopt);
    }
    EXPECT_EQ(meter->readPeaks(), std::nullopt);

    server.start();
    test::TonePlayer tone(server.address(), test::PulseTestServer::sinkName, {0.25f, 0.5f});
    const Peaks peaks = readUntil(*meter, near({0.25f, 0.5f}), 20s);
    EXPECT_TRUE(near({0.25f, 0.5f})(peaks)) << describe(peaks);
}

// Told of each delivery, the reader reads at once: about once per read interval, each reading carrying the
// tone, and no more often when another reader hurries the server into 10 ms pieces; the logic thread then
// wakes at most twice per reading.
TEST_F(PulseAudioEndpointsTest, DeliveriesAreToldAboutOncePerReadIntervalAlsoWhenTheServerHurries) {
    const auto sink = makeSink();
    test::TonePlayer tone(m_server, sink->name(), {0.5f, 0.25f});
    for (const bool hurried : {false, true}) {
        std::unique_ptr<test::HurryingReader> hurry;
        if (hurried)
            hurry = std::make_unique<test::HurryingReader>(m_server, sink->monitorName());
        VirtualEventLoop loop;
        test::WakeUpCountingLoop counting(loop);
        auto meter = m_endpoints.openMeter(sink->monitorName(), readInterval);
        ASSERT_NE(meter, nullptr);
        std::vector<Peaks> readings;
        meter->notifyDeliveries(counting, [&] { readings.push_back(meter->readPeaks()); });
        ASSERT_TRUE(test::runInRealTime(loop, 10s, [&] {
            return !readings.empty() && near({0.5f, 0.25f})(readings.back());
        })) << hurried;
        const int wakeUpsBefore = counting.wakeUps;
        const std::size_t readingsBefore = readings.size();
        test::runInRealTime(loop, 2s, [] { return false; });
        const auto told = static_cast<int>(readings.size() - readingsBefore);
        EXPECT_GE(told, 12) << hurried;
        EXPECT_LE(told, 22) << hurried;
        EXPECT_LE(counting.wakeUps - wakeUpsBefore, 2 * told + 2) << hurried;
        EXPECT_TRUE(near({0.5f, 0.25f})(readings.back())) << hurried << ": " << describe(readings.back());
    }
}

} // namespace
} // namespace quietmon
