#include "platform/linux/EspeakSpeechSynthesizer.h"
#include "taskkinds/TaskKindWiring.h"
#include "tasks/speech/TextSpeaker.h"

#include <chrono>

namespace quietmon {

namespace {

// "Speak" with espeak-ng, in the language of the messages' locale.
class WiredSpeech final : public WiredTaskKind {
public:
    explicit WiredSpeech(TaskKindWiring& wiring)
        : m_synthesizer(messagesLocaleName(), std::chrono::seconds(5), wiring.liveness),
          m_speaker(m_synthesizer) {}
    QueueTask& task() override { return m_speaker; }

private:
    EspeakSpeechSynthesizer m_synthesizer;
    TextSpeaker m_speaker;
};

} // namespace

template <> std::unique_ptr<WiredTaskKind> wireTaskKind<TaskKind::Speak>(TaskKindWiring& wiring) {
    return std::make_unique<WiredSpeech>(wiring);
}

} // namespace quietmon
