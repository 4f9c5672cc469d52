#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quietmon {

// Splits a parameter text into a program's arguments the way a POSIX shell splits words, and nothing more.
// Blanks outside quotes separate words: space, tab, line feed, and carriage return. Single quotes keep
// everything up to the next single quote; double quotes keep everything up to the next unescaped double
// quote, where a backslash escapes only `$`, a backquote, `"`,
// `\` and a line break; elsewhere a backslash keeps the next character (before a line break it joins the
// lines). Quotes group and are removed, so `""` is an empty word. There is no expansion of any kind and no
// operator: `$`, backquotes, `;`, `|`, `&`, `<`, `*`, `~` and `#` are plain characters, because nothing in
// an alarm's parameters may ever run as a command. A quote left open runs to the end. Placeholders are
// expanded in the words afterwards, so that their text never moves a word boundary.
std::vector<std::string> splitShellWords(std::string_view text);

} // namespace quietmon
