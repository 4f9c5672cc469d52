#include "tasks/speech/TextSpeaker.h"

#include "tasks/speech/Utf8Text.h"

#include <exception>

namespace quietmon {

void TextSpeaker::speak(const std::string& text) {
    try {
        m_synthesizer.speak(utf8FromUtf8OrLatin1(text));
    } catch (const std::exception&) {
        // Speech that cannot be heard is no reason to stop the queue or to fill the log.
    }
}

} // namespace quietmon
