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
    std::size_t digits = 0;
    while (colon + 1 + digits < server.size() && isDigit(server[colon + 1 + digits]))
        ++digits;
    if (digits < 1 || digits > 5)
        return;
    port = std::stoi(server.substr(colon + 1, digits));
    server.erase(colon, digits + 1);
}

// How far "user:password@" reaches into the text after the scheme: to just past its last "@", when a
// ":" comes before that "@"; zero when the text carries no credentials. The last "@" and not the first:
// whatever a password holds, the "@" that ends it is the last one, and so no "@", "/", "?" or "#" of a
// password can leave a piece of it behind in the host, the path or a log line.
std::size_t credentialsLength(std::string_view text) {
    const std::size_t at = text.rfind('@');
    const std::size_t colon = text.find(':');
    return at != std::string_view::npos && colon < at ? at + 1 : 0;
}

// The length of "http://" and the like at the start of the URL, with the scheme's own port.
std::size_t takeScheme(std::string_view url, HttpTarget& target) {
    if (startsWithIgnoringCase(url, "http://"))
        return 7;
    if (startsWithIgnoringCase(url, "ftp://")) {
        target.scheme = HttpScheme::Ftp;
        target.port = 21;
        return 6;
    }
    if (startsWithIgnoringCase(url, "https://")) {
        target.scheme = HttpScheme::Https;
        target.port = 443;
        return 8;
    }
    return 0;
}

} // namespace

HttpTarget splitUrl(std::string_view address, std::string_view query) {
    std::string_view rest = address;
    HttpTarget target;
    rest.remove_prefix(takeScheme(rest, target));

    if (const std::size_t length = credentialsLength(rest); length > 0) {
        const std::size_t colon = rest.find(':');
        target.user = rest.substr(0, colon);
        target.password = rest.substr(colon + 1, length - colon - 2);
        rest.remove_prefix(length);
    }

    const std::size_t serverEnd = rest.find_first_of("/?#");
    std::string server(rest.substr(0, serverEnd));
    if (serverEnd != std::string_view::npos) {
        target.path = rest.substr(serverEnd);
        if (target.path.front() != '/')
            target.path.insert(0, 1, '/');
    }
    takePort(server, target.port);
    target.host = std::move(server);
    if (!query.empty()) {
        if (target.path.empty())
            target.path.push_back('/');
        target.path.append("?").append(query);
    }
    return target;
}

std::string urlWithoutCredentials(std::string_view address, std::string_view query) {
    HttpTarget ignored;
    const std::size_t schemeLength = takeScheme(address, ignored);
    std::string shown(address.substr(0, schemeLength));
    const std::string_view rest = address.substr(schemeLength);
    shown += rest.substr(credentialsLength(rest));
    if (!query.empty())
        shown.append("?").append(query);
    return shown;
}

} // namespace quietmon
