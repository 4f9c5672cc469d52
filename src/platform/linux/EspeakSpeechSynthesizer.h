#pragma once

#include "platform/Speech.h"
#include "runtime/Liveness.h"

#include <chrono>
#include <string>

namespace quietmon {

// espeak-ng's voice, played through the sound server. The engine is started at the first utterance and
// kept for the life of the process (espeak-ng cannot be started again once stopped); it only renders the
// samples, and each utterance plays them on a connection of its own, so that a sound server that was
// missing at the first utterance, or restarted since, is found again. One per process: espeak-ng's
// state is global.
class EspeakSpeechSynthesizer final : public SpeechSynthesizer {
public:
    // `localeName` ("de_AT.UTF-8") picks the voice; English where it names no language espeak-ng speaks.
    // `liveness` hears from the waits of playing.
    explicit EspeakSpeechSynthesizer(std::string localeName,
                                     std::chrono::milliseconds answerTimeout = std::chrono::seconds(5),
                                     Liveness& liveness = unwatched());

    void speak(const std::string& utf8Text) override;

private:
    bool startEngine();

    enum class Engine { NotStarted, Running, Unavailable };

    std::string m_localeName;
    std::chrono::milliseconds m_answerTimeout;
    Liveness& m_liveness;
    Engine m_engine = Engine::NotStarted;
    int m_sampleRate = 0;
};

// The language of the system's messages as the environment names it: LC_ALL, else LC_MESSAGES, else LANG.
std::string messagesLocaleName();

// espeak-ng's name of the language of a locale: "de_AT.UTF-8" gives "de-at"; "C", "POSIX" and an empty
// name give "en".
std::string espeakLanguageOf(const std::string& localeName);

} // namespace quietmon
