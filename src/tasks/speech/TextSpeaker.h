#pragma once

#include "platform/Speech.h"
#include "tasks/speech/SpeechTask.h"

namespace quietmon {

// "Speak": one utterance of the expanded text, heard before the queue goes on; failures are silent.
class TextSpeaker final : public SpeechTask {
public:
    explicit TextSpeaker(SpeechSynthesizer& synthesizer) : m_synthesizer(synthesizer) {}

    void speak(const std::string& text) override;

private:
    SpeechSynthesizer& m_synthesizer;
};

} // namespace quietmon
