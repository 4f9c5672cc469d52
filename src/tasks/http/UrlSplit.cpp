#include "tasks/http/UrlSplit.h"

#include <string>

namespace quietmon {

namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Takes the port out of the server part and returns its digits; a text that names none leaves the
// scheme's port and returns nothing.
std::string takePort(std::string& server, int& port) {
    const std::size_t colon = server.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return {};
    const std::size_t at = server.find('@');
    if (at != std::string::npos && at > colon)
        return {};
    std::size_t digits = 0;
    while (colon + 1 + digits < server.size() && isDigit(server[colon + 1 + digits]))
        ++digits;
    if (digits < 1 || digits > 5)
        return {};
    std::string typed = server.substr(colon + 1, digits);
    port = std::stoi(typed);
    server.erase(colon, digits + 1);
    return typed;
}

bool takeCredentials(std::string& server, std::string& user, std::string& password) {
    const std::size_t colon = server.find(':');
    if (colon == std::string::npos)
        return false;
    const std::size_t at = server.find('@', colon + 1);
    if (at == std::string::npos)
        return false;
    user = server.substr(0, colon);
    password = server.substr(colon + 1, at - colon - 1);
    server.erase(0, at + 1);
    return true;
}

// The target, and the typed pieces that a URL without its credentials is made of again.
struct SplitPieces {
    HttpTarget target;
    // "http://" and the like as typed; empty without a scheme.
    std::string_view scheme;
    // From the first "/" or "?" on, as typed.
    std::string_view rest;
    // The port's digits as typed; empty when the text names no port.
    std::string portDigits;
    bool hasCredentials = false;
};

SplitPieces split(std::string_view url) {
    SplitPieces pieces;
    HttpTarget& target = pieces.target;
    std::size_t schemeLength = 0;
    if (startsWithIgnoringCase(url, "http://")) {
        schemeLength = 7;
    } else if (startsWithIgnoringCase(url, "ftp://")) {
        schemeLength = 6;
        target.scheme = HttpScheme::Ftp;
        target.port = 21;
    } else if (startsWithIgnoringCase(url, "https://")) {
        schemeLength = 8;
        target.scheme = HttpScheme::Https;
        target.port = 443;
    }
    pieces.scheme = url.substr(0, schemeLength);
    url.remove_prefix(schemeLength);

    const std::size_t serverEnd = url.find_first_of("/?");
    std::string server(url.substr(0, serverEnd));
    if (serverEnd != std::string_view::npos) {
        pieces.rest = url.substr(serverEnd);
        target.path = pieces.rest;
        if (target.path.front() == '?')
            target.path.insert(0, 1, '/');
    }
    pieces.portDigits = takePort(server, target.port);
    pieces.hasCredentials = takeCredentials(server, target.user, target.password);
    target.host = std::move(server);
    return pieces;
}

} // namespace

HttpTarget splitUrl(std::string_view url) {
    return split(url).target;
}

std::string urlWithoutCredentials(std::string_view url) {
    const SplitPieces pieces = split(url);
    if (!pieces.hasCredentials)
        return std::string(url);
    std::string shown(pieces.scheme);
    shown += pieces.target.host;
    if (!pieces.portDigits.empty())
        shown.append(":").append(pieces.portDigits);
    shown += pieces.rest;
    return shown;
}

} // namespace quietmon
