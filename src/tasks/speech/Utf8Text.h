#pragma once

#include <string>
#include <string_view>

namespace quietmon {

// The text as UTF-8: its valid UTF-8 sequences as they are, every other byte read as a Latin-1
// character. Settings the Setup dialog wrote are UTF-8; a file edited by hand in Latin-1 still reads.
std::string utf8FromUtf8OrLatin1(std::string_view text);

} // namespace quietmon
