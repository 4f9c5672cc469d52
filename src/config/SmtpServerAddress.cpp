#include "config/SmtpServerAddress.h"

namespace quietmon {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A whole number, with an optional sign; nothing else, not even spaces.
bool parseWholeNumber(std::string_view text, long& value) {
    std::size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    if (at == text.size())
        return false;
    long result = 0;
    for (; at < text.size(); ++at) {
        if (!isDigit(text[at]))
            return false;
        result = result * 10 + (text[at] - '0');
    }
    value = negative ? -result : result;
    return true;
}

} // namespace

SmtpServerAddress parseSmtpServerText(std::string_view text) {
    SmtpServerAddress address;
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon < 3) {
        address.host = std::string(text);
        return address;
    }
    address.host = std::string(text.substr(0, colon));
    long port = 0;
    if (parseWholeNumber(text.substr(colon + 1, 5), port))
        address.port = port;
    return address;
}

} // namespace quietmon
