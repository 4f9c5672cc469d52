#include "tasks/Placeholders.h"

namespace quietmon {

namespace {

// What %lasttask reads while no alarm queue is to carry on.
constexpr int noQueuePosition = 999;

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool matchesAt(std::string_view text, std::size_t at, std::string_view placeholder) {
    if (text.size() - at < placeholder.size())
        return false;
    for (std::size_t i = 0; i < placeholder.size(); ++i) {
        if (lower(text[at + i]) != placeholder[i])
            return false;
    }
    return true;
}

// Every occurrence, left to right; what is put in is not scanned again by this step.
std::string replaceAll(std::string_view text, std::string_view placeholder, std::string_view value) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (matchesAt(text, at, placeholder)) {
            result += value;
            at += placeholder.size();
        } else {
            result += text[at++];
        }
    }
    return result;
}

bool safeInQuery(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '%' || c == '&' || c == '*' || c == '-' ||
           c == '.' || c == '=' || c == '@' || c == '_';
}

} // namespace

std::string expandPlaceholders(std::string_view text, const AlarmState& state) {
    const DateTime when = state.eventTime;
    std::string time = when.formatTime();
    std::string hyphenTime = time;
    for (char& c : hyphenTime) {
        if (c == ':')
            c = '-';
    }
    std::string result = replaceAll(text, "%time:", time);
    result = replaceAll(result, "%time", hyphenTime);
    result = replaceAll(result, "%date", when.formatIsoDate());
    result = replaceAll(result, "%channel", state.silentChannels);
    result = replaceAll(result, "%cause", state.cause);
    result = replaceAll(result, "%dayofweek", std::to_string(when.isoWeekday()));
    result = replaceAll(result, "%lasttask", std::to_string(state.taskPosition.value_or(noQueuePosition)));
    result = replaceAll(result, "%br", "\r\n");
    // Last, so that a title's own text is never taken for a placeholder.
    return replaceAll(result, "%streamtitle", state.streamTitle);
}

std::string expandPlaceholdersForUrl(std::string_view text, const AlarmState& state) {
    const std::string expanded = replaceAll(expandPlaceholders(text, state), "\r\n", "<br>");
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(expanded.size() * 3);
    for (const char c : expanded) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0)
            break;
        if (safeInQuery(byte)) {
            encoded += c;
        } else if (byte == ' ') {
            encoded += '+';
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 0x0F];
        }
    }
    return encoded;
}

} // namespace quietmon
