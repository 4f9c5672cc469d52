#pragma once

#include "runtime/DateTime.h"

#include <optional>
#include <string>
#include <string_view>

namespace quietmon {

// Reading and writing typed values the way the settings file has always held them.

// Decimal with an optional sign, or hexadecimal after "$" or (for texts longer than 2 characters) "0x";
// anything else, or a number outside 32 bits, is not an integer.
std::optional<int> parseIniInteger(std::string_view text);
// "h[:m[:s[.ms]]]" with an optional "AM"/"PM"; nothing for an empty or impossible time.
std::optional<TimeOfDay> parseIniTime(std::string_view text);

// "yyyy-mm-dd hh:nn:ss" of a real calendar date and time; nothing for anything else.
std::optional<DateTime> parseIniDateTime(std::string_view text);

// The value of one hexadecimal digit in either case, -1 for any other character.
int hexDigitValue(char c);

std::string iniBool(bool value);
std::string iniInteger(int value);
std::string iniTime(TimeOfDay value);
// "yyyy-mm-dd hh:nn:ss", or empty for the zero date, which stands for no moment at all.
std::string iniDateTime(DateTime value);

} // namespace quietmon
