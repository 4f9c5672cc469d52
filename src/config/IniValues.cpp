#include "config/IniValues.h"

#include <cstdint>
#include <limits>

namespace quietmon {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

namespace {

// Reads the digits at the front of `text`, advancing past them; nothing if there are none or the value
// exceeds `limit`.
std::optional<std::uint64_t> takeNumber(std::string_view& text, int base, std::uint64_t limit) {
    std::uint64_t value = 0;
    std::size_t used = 0;
    for (; used < text.size(); ++used) {
        const int digit = hexDigitValue(text[used]);
        if (digit < 0 || digit >= base)
            break;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > limit)
            return std::nullopt;
    }
    if (used == 0)
        return std::nullopt;
    text.remove_prefix(used);
    return value;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != prefix[i])
            return false;
    }
    return true;
}

} // namespace

std::optional<int> parseIniInteger(std::string_view text) {
    std::string hexText;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hexText.assign("$").append(text.substr(2));
        text = hexText;
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const bool hex = !text.empty() && text.front() == '$';
    if (hex)
        text.remove_prefix(1);
    // Hexadecimal takes all 32 bits ($FFFFFFFF is -1); decimal stays within the signed range.
    const std::uint64_t limit =
        hex ? 0xFFFFFFFFull : static_cast<std::uint64_t>(std::numeric_limits<int>::max()) + 1;
    const auto magnitude = takeNumber(text, hex ? 16 : 10, limit);
    if (!magnitude || !text.empty())
        return std::nullopt;
    std::int64_t value = hex ? static_cast<std::int32_t>(static_cast<std::uint32_t>(*magnitude))
                             : static_cast<std::int64_t>(*magnitude);
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<TimeOfDay> parseIniTime(std::string_view text) {
    // Hour, minute, second and millisecond; each separator must be followed by its number.
    constexpr char separators[] = {':', ':', '.'};
    constexpr std::uint64_t anyPart = 1'000'000;
    std::uint64_t parts[4] = {};
    for (std::size_t i = 0; i < 4; ++i) {
        if (i > 0) {
            if (text.empty() || text.front() != separators[i - 1])
                break;
            text.remove_prefix(1);
        }
        const auto number = takeNumber(text, 10, anyPart);
        if (!number)
            return std::nullopt;
        parts[i] = *number;
    }
    auto& [hour, minute, second, millisecond] = parts;
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (startsWithNoCase(text, "AM") || startsWithNoCase(text, "PM")) {
        if (hour > 12 || hour == 0)
            return std::nullopt;
        const bool afternoon = text[0] == 'P' || text[0] == 'p';
        hour = hour % 12 + (afternoon ? 12 : 0);
        text.remove_prefix(2);
    }
    if (!text.empty() || hour >= 24 || minute >= 60 || second >= 60 || millisecond >= 1000)
        return std::nullopt;
    return TimeOfDay::fromParts(static_cast<int>(hour), static_cast<int>(minute), static_cast<int>(second),
                                static_cast<int>(millisecond));
}

std::string iniBool(bool value) {
    return value ? "1" : "0";
}
std::string iniInteger(int value) {
    return std::to_string(value);
}
std::string iniTime(TimeOfDay value) {
    return value.format();
}

std::optional<DateTime> parseIniDateTime(std::string_view text) {
    constexpr std::string_view pattern = "0000-00-00 00:00:00";
    if (text.size() != pattern.size())
        return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digitWanted = pattern[i] == '0';
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (digitWanted != digit || (!digitWanted && text[i] != pattern[i]))
            return std::nullopt;
    }
    const auto number = [text](std::size_t at, std::size_t length) {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    const int month = number(5, 2);
    const int day = number(8, 2);
    const int hour = number(11, 2);
    const int minute = number(14, 2);
    const int second = number(17, 2);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const DateTime moment = DateTime::fromParts(number(0, 4), month, day, hour, minute, second);
    // A day the month does not have (the 30th of February) comes back as another date.
    if (moment.formatDateTime() != text)
        return std::nullopt;
    return moment;
}

std::string iniDateTime(DateTime value) {
    return value.isZero() ? std::string() : value.formatDateTime();
}

} // namespace quietmon
