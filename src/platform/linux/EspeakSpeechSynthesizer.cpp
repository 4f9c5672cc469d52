#include "platform/linux/EspeakSpeechSynthesizer.h"

#include "platform/linux/PulsePlayback.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <espeak-ng/speak_lib.h>

namespace quietmon {

namespace {

constexpr const char* fallbackLanguage = "en";

// espeak-ng hands the samples over as it renders them; they play while the rest is rendered.
int onSamples(short* samples, int count, espeak_EVENT* events) {
    if (!samples || count <= 0)
        return 0;
    auto* playback = events ? static_cast<PulsePlayback*>(events->user_data) : nullptr;
    return playback && playback->write(samples, static_cast<std::size_t>(count)) ? 0
                                                                                 : 1; // 1 stops the rendering
}

bool chooseVoice(const std::string& language) {
    espeak_VOICE wanted{};
    wanted.languages = language.c_str();
    return espeak_SetVoiceByProperties(&wanted) == EE_OK;
}

} // namespace

std::string messagesLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return {};
}

std::string espeakLanguageOf(const std::string& localeName) {
    std::string language = localeName.substr(0, localeName.find_first_of(".@"));
    if (language.empty() || language == "C" || language == "POSIX")
        return fallbackLanguage;
    std::replace(language.begin(), language.end(), '_', '-');
    std::transform(language.begin(), language.end(), language.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return language;
}

EspeakSpeechSynthesizer::EspeakSpeechSynthesizer(std::string localeName,
                                                 std::chrono::milliseconds answerTimeout, Liveness& liveness)
    : m_localeName(std::move(localeName)), m_answerTimeout(answerTimeout), m_liveness(liveness) {}

bool EspeakSpeechSynthesizer::startEngine() {
    if (m_engine == Engine::NotStarted) {
        // Rendering only: espeak-ng's own audio output keeps the server it found first for good.
        m_sampleRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
        m_engine = m_sampleRate > 0 ? Engine::Running : Engine::Unavailable;
        if (m_engine == Engine::Running) {
            espeak_SetSynthCallback(&onSamples);
            if (!chooseVoice(espeakLanguageOf(m_localeName)))
                chooseVoice(fallbackLanguage);
        }
    }
    return m_engine == Engine::Running;
}

void EspeakSpeechSynthesizer::speak(const std::string& utf8Text) {
    if (!startEngine())
        return;
    PulsePlayback playback(static_cast<std::uint32_t>(m_sampleRate), m_answerTimeout, m_liveness);
    if (!playback.ready())
        return;
    if (espeak_Synth(utf8Text.c_str(), utf8Text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                     &playback) == EE_OK)
        playback.drain();
}

} // namespace quietmon
