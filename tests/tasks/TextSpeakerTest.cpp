#include "tasks/speech/TextSpeaker.h"

#include "tasks/speech/Utf8Text.h"

#include <gtest/gtest.h>
#include <ostream>
#include <stdexcept>

namespace quietmon {
namespace {

struct TextCase {
    const char* name;
    std::string stored;
    std::string spoken;
};

void PrintTo(const TextCase& text, std::ostream* out) {
    *out << text.name;
}

class Utf8TextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(Utf8TextTest, KeepsUtf8AndReadsEveryOtherByteAsLatin1) {
    EXPECT_EQ(utf8FromUtf8OrLatin1(GetParam().stored), GetParam().spoken);
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf8TextTest,
                         ::testing::Values(TextCase{"ascii", "Silence on air", "Silence on air"},
                                           TextCase{"utf8", "Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x93\xBB",
                                                    "Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x93\xBB"},
                                           TextCase{"latin1", "Z\xFCrich", "Z\xC3\xBCrich"},
                                           TextCase{"mixed", "\xC3\xA9 \xE9", "\xC3\xA9 \xC3\xA9"},
                                           TextCase{"cutShort", "caf\xC3", "caf\xC3\x83"},
                                           TextCase{"overlong", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
                                           TextCase{"surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},
                                           TextCase{"beyondUnicode", "\xF4\x90\x80\x80",
                                                    "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"}));

class FailingSynthesizer final : public SpeechSynthesizer {
public:
    void speak(const std::string& utf8Text) override {
        spoken = utf8Text;
        throw std::runtime_error("no speech here");
    }
    std::string spoken;
};

TEST(TextSpeakerTest, SpeaksTheTextAsUtf8AndDropsAFailure) {
    FailingSynthesizer synthesizer;
    TextSpeaker speaker(synthesizer);
    EXPECT_NO_THROW(speaker.speak("Z\xFCrich"));
    EXPECT_EQ(synthesizer.spoken, "Z\xC3\xBCrich");
}

} // namespace
} // namespace quietmon
