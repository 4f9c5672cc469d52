#include "tasks/speech/Utf8Text.h"

#include <cstddef>
#include <cstdint>

namespace quietmon {

namespace {

// The length of the valid UTF-8 sequence at `at`, or 0: shortest form only, no surrogates, nothing
// beyond U+10FFFF.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&text](std::size_t index) { return static_cast<std::uint8_t>(text[index]); };
    const std::uint8_t lead = byte(at);
    std::size_t length = 0;
    std::uint8_t low = 0x80; // the range of the second byte, which rules out overlong forms and the rest
    std::uint8_t high = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t next = at + 2; next < at + length; ++next) {
        if ((byte(next) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

} // namespace

std::string utf8FromUtf8OrLatin1(std::string_view text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (const std::size_t length = utf8SequenceLength(text, at)) {
            utf8.append(text.substr(at, length));
            at += length;
            continue;
        }
        const auto latin1 = static_cast<std::uint8_t>(text[at++]);
        utf8 += static_cast<char>(0xC0 | (latin1 >> 6));
        utf8 += static_cast<char>(0x80 | (latin1 & 0x3F));
    }
    return utf8;
}

} // namespace quietmon
