#pragma once

#include <string>

namespace quietmon {

// The system's speech synthesiser.
class SpeechSynthesizer {
public:
    virtual ~SpeechSynthesizer() = default;
    // Speaks a UTF-8 text and returns once it has been played. Nothing is reported: a synthesiser or
    // sound server that is missing or fails leaves the text unheard.
    virtual void speak(const std::string& utf8Text) = 0;
};

} // namespace quietmon
