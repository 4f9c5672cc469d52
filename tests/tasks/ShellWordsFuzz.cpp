// Feeds arbitrary parameter text to the word splitting and checks what any split must hold.
#include "tasks/openplay/ShellWords.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Each word single-quoted, a quote inside one written as '\'': how a shell user would write the words.
std::string quoted(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        text += " '";
        for (char c : word)
            text += c == '\'' ? std::string("'\\''") : std::string(1, c);
        text += "'";
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> words = quietmon::splitShellWords(text);
    // Splitting only removes quotes, escapes and blanks: the words never hold more than the text.
    std::size_t length = 0;
    for (const std::string& word : words)
        length += word.size();
    if (length > size)
        std::abort();
    // Any words, quoted again, split back into themselves.
    if (quietmon::splitShellWords(quoted(words)) != words)
        std::abort();
    return 0;
}
