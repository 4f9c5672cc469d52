// Speech rendered by espeak-ng and played through the test environment's sound server, heard on the
// monitor of a sink that only the test plays into.
#include "platform/linux/EspeakSpeechSynthesizer.h"

#include "platform/linux/PulseAudioEndpoints.h"
#include "platform/linux/SystemdNotifier.h"
#include "support/EnvironmentOverride.h"
#include "support/NotifySocket.h"
#include "support/PulseTestServer.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <ostream>
#include <thread>
#include <unistd.h>

namespace quietmon {
namespace {

using namespace std::chrono_literals;

// The loudest sample the monitor saw while `speaking` ran and for half a second after, when the last of
// it has reached the monitor; -1 when the meter does not run.
float loudestWhile(const std::string& monitor, const std::function<void()>& speaking) {
    PulseAudioEndpoints endpoints;
    const auto meter = endpoints.openMeter(monitor, 100);
    if (!meter)
        return -1.0f;
    meter->readPeaks();
    speaking();
    std::this_thread::sleep_for(500ms);
    const auto peaks = meter->readPeaks();
    return peaks && !peaks->empty() ? *std::max_element(peaks->begin(), peaks->end()) : -1.0f;
}

class EspeakSpeechSynthesizerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("PULSE_SERVER"))
            GTEST_SKIP() << "no sound server: run scripts/test-env up and source its env.sh";
        m_sink = std::make_unique<test::TemporaryNullSink>(
            std::getenv("PULSE_SERVER"), "quietmon_speech_test_" + std::to_string(::getpid()),
            "Quietmon_Speech_Test");
        m_playsIntoSink = std::make_unique<test::EnvironmentOverride>("PULSE_SINK", m_sink->name());
    }

    float loudestSpeaking(EspeakSpeechSynthesizer& speech, const std::string& text) {
        return loudestWhile(m_sink->monitorName(), [&] { speech.speak(text); });
    }

    std::unique_ptr<test::TemporaryNullSink> m_sink;
    std::unique_ptr<test::EnvironmentOverride> m_playsIntoSink;
};

class EspeakVoiceTest : public EspeakSpeechSynthesizerTest,
                        public ::testing::WithParamInterface<const char*> {};

TEST_P(EspeakVoiceTest, AnUtteranceIsHeardOnTheSinkItPlaysInto) {
    EspeakSpeechSynthesizer speech(GetParam());
    EXPECT_GT(loudestSpeaking(speech, "Silence on air"), 0.05f);
}

// A locale that names no language espeak-ng speaks falls back to English.
INSTANTIATE_TEST_SUITE_P(Locales, EspeakVoiceTest,
                         ::testing::Values("en_GB.UTF-8", "de_AT.UTF-8", "xx_YY.UTF-8"));

TEST_F(EspeakSpeechSynthesizerTest, AnEmptyTextIsSilent) {
    EspeakSpeechSynthesizer speech("en_GB.UTF-8");
    EXPECT_EQ(loudestSpeaking(speech, ""), 0.0f);
}

TEST_F(EspeakSpeechSynthesizerTest, WithoutASoundServerTheUtteranceEndsAtOnceUnheard) {
    EspeakSpeechSynthesizer speech("en_GB.UTF-8");
    const auto started = std::chrono::steady_clock::now();
    {
        test::EnvironmentOverride nowhere("PULSE_SERVER", "unix:/nonexistent/quietmon-no-server");
        speech.speak("Silence on air");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
    // The engine started without a server speaks once there is one.
    EXPECT_GT(loudestSpeaking(speech, "Silence on air"), 0.05f);
}

TEST_F(EspeakSpeechSynthesizerTest, AServerThatRestartedIsFoundAgain) {
    test::PulseTestServer server;
    test::EnvironmentOverride privateServer("PULSE_SERVER", server.address());
    test::EnvironmentOverride defaultSink("PULSE_SINK", test::PulseTestServer::sinkName);
    EspeakSpeechSynthesizer speech("en_GB.UTF-8");
    const auto speak = [&speech] { speech.speak("Silence on air"); };
    EXPECT_GT(loudestWhile(test::PulseTestServer::monitorName, speak), 0.05f);
    server.kill();
    server.start();
    EXPECT_GT(loudestWhile(test::PulseTestServer::monitorName, speak), 0.05f);
}

struct LanguageCase {
    const char* locale;
    const char* language;
};

void PrintTo(const LanguageCase& language, std::ostream* out) {
    *out << language.locale;
}

class EspeakLanguageTest : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(EspeakLanguageTest, IsTheLanguageAndRegionOfTheLocaleElseEnglish) {
    EXPECT_EQ(espeakLanguageOf(GetParam().locale), GetParam().language);
}

INSTANTIATE_TEST_SUITE_P(Locales, EspeakLanguageTest,
                         ::testing::Values(LanguageCase{"de_AT.UTF-8", "de-at"},
                                           LanguageCase{"pt_BR", "pt-br"},
                                           LanguageCase{"sr_RS@latin", "sr-rs"}, LanguageCase{"cs", "cs"},
                                           LanguageCase{"C.UTF-8", "en"}, LanguageCase{"POSIX", "en"},
                                           LanguageCase{"", "en"}));

// An utterance lasts as long as it takes to say; systemd's watchdog hears from the thread all along.
TEST_F(EspeakSpeechSynthesizerTest, ALongUtteranceReportsTheThreadAliveWhileItPlays) {
    test::NotifySocket socket(4000ms); // reports every 1000 ms are asked for
    SystemdNotifier notifier;
    EspeakSpeechSynthesizer speech("en_GB.UTF-8", 5s, notifier);
    const auto from = std::chrono::steady_clock::now();
    speech.speak("Silence on air. The programme has been silent for five minutes. Please check the studio "
                 "and the transmitter link at once.");
    const auto to = std::chrono::steady_clock::now();
    ASSERT_GE(to - from, 3s) << "the utterance was not played";
    socket.texts(2);
    EXPECT_GE(socket.countOf("WATCHDOG=1", from, to + 100ms), 2u);
    EXPECT_LT(socket.longestSilence("WATCHDOG=1", from, to), 2000ms); // half the time-out
}

} // namespace
} // namespace quietmon
