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

// Takes the port out of the server part; a text that names none leaves the scheme's port.
void takePort(std::string& server, int& port) {
    const std::size_t colon = server.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return;
    const std::size_t at = server.find('@');
    if (at != std::string::npos && at > colon)
        return;
    std::size_t digits = 0;
    while (colon + 1 + digits < server.size() && isDigit(server[colon + 1 + digits]))
        ++digits;
    if (digits < 1 || digits > 5)
        return;
    port = std::stoi(server.substr(colon + 1, digits));
    server.erase(colon, digits + 1);
}

void takeCredentials(std::string& server, std::string& user, std::string& password) {
    const std::size_t colon = server.find(':');
    if (colon == std::string::npos)
        return;
    const std::size_t at = server.find('@', colon + 1);
    if (at == std::string::npos)
        return;
    user = server.substr(0, colon);
    password = server.substr(colon + 1, at - colon - 1);
    server.erase(0, at + 1);
}

} // namespace

HttpTarget splitUrl(std::string_view url) {
    HttpTarget target;
    if (startsWithIgnoringCase(url, "http://")) {
        url.remove_prefix(7);
    } else if (startsWithIgnoringCase(url, "ftp://")) {
        url.remove_prefix(6);
        target.scheme = HttpScheme::Ftp;
        target.port = 21;
    } else if (startsWithIgnoringCase(url, "https://")) {
        url.remove_prefix(8);
        target.scheme = HttpScheme::Https;
        target.port = 443;
    }

    const std::size_t serverEnd = url.find_first_of("/?");
    std::string server(url.substr(0, serverEnd));
    if (serverEnd != std::string_view::npos) {
        target.path = url.substr(serverEnd);
        if (target.path.front() == '?')
            target.path.insert(0, 1, '/');
    }
    takePort(server, target.port);
    takeCredentials(server, target.user, target.password);
    target.host = std::move(server);
    return target;
}

} // namespace quietmon
