#include "tasks/email/EmailAddress.h"

namespace quietmon {

namespace {

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// A display name without its surrounding quotes and with backslash escapes resolved.
std::string unquoted(std::string_view name) {
    if (name.size() < 2 || name.front() != '"' || name.back() != '"')
        return std::string(name);
    std::string out;
    const std::string_view inner = name.substr(1, name.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == '\\' && i + 1 < inner.size())
            ++i;
        out += inner[i];
    }
    return out;
}

} // namespace

EmailAddress parseEmailAddress(std::string_view text) {
    text = trimmed(text);
    EmailAddress result;
    const std::size_t open = text.rfind('<');
    const std::size_t close = open == std::string_view::npos ? open : text.find('>', open);
    if (close == std::string_view::npos) {
        result.address = std::string(text);
        return result;
    }
    result.address = std::string(trimmed(text.substr(open + 1, close - open - 1)));
    result.displayName = unquoted(trimmed(text.substr(0, open)));
    return result;
}

std::vector<EmailAddress> splitEmailAddressList(std::string_view text) {
    std::vector<EmailAddress> list;
    const auto addItem = [&list](std::string_view item) {
        item = trimmed(item);
        if (!item.empty())
            list.push_back(parseEmailAddress(item));
    };
    bool quoted = false;
    bool bracketed = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '<') {
            bracketed = true;
        } else if (c == '>') {
            bracketed = false;
        } else if (c == ',' && !bracketed) {
            addItem(text.substr(start, i - start));
            start = i + 1;
        }
    }
    addItem(text.substr(start));
    return list;
}

} // namespace quietmon
