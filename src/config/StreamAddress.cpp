#include "config/StreamAddress.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace quietmon {

namespace {

constexpr std::array<std::string_view, 3> networkSchemes{"http", "https", "hls+http"};

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

} // namespace

std::string addressWithoutCredentials(const std::string& address) {
    const std::size_t schemeEnd = address.find("://");
    const std::size_t authorityStart = schemeEnd == std::string::npos ? 0 : schemeEnd + 3;
    // A password may hold a "/" of its own: the credentials run to the last "@" before the query, so that
    // no part of them is shown (a path holding an "@" is shown cut rather than a password shown whole).
    const std::size_t queryStart = address.find_first_of("?#", authorityStart);
    const std::size_t at =
        address.rfind('@', queryStart == std::string::npos ? std::string::npos : queryStart - 1);
    if (at == std::string::npos || at < authorityStart)
        return address;
    return address.substr(0, authorityStart) + address.substr(at + 1);
}

std::optional<std::string> streamAddressRefusal(const std::string& address) {
    if (address.empty())
        return "no stream address is set";
    const std::size_t schemeEnd = address.find("://");
    const std::string scheme = lowerCase(address.substr(0, std::min(schemeEnd, address.find(':'))));
    if (schemeEnd == std::string::npos || schemeEnd != scheme.size() ||
        std::find(networkSchemes.begin(), networkSchemes.end(), scheme) == networkSchemes.end())
        return "only http:// and https:// addresses are read";
    return std::nullopt;
}

} // namespace quietmon
