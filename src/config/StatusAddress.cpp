#include "config/StatusAddress.h"

#include <arpa/inet.h>
#include <charconv>
#include <netinet/in.h>

namespace quietmon {

namespace {

std::variant<StatusEndpointRefused, StatusListenAddress> parseAddress(const std::string& text) {
    const StatusEndpointRefused unreadable{"StatusAddress \"" + text +
                                           "\" is not an IP address and a port, such as 127.0.0.1:9823"};
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return unreadable;
    StatusListenAddress address;
    address.host = text.substr(0, colon);
    const std::string_view port = std::string_view(text).substr(colon + 1);
    const auto parsed = std::from_chars(port.data(), port.data() + port.size(), address.port);
    if (parsed.ec != std::errc() || parsed.ptr != port.data() + port.size() || address.port < 1 ||
        address.port > 65535)
        return unreadable;
    if (address.host.size() >= 2 && address.host.front() == '[' && address.host.back() == ']') {
        address.host = address.host.substr(1, address.host.size() - 2);
        in6_addr ipv6{};
        if (inet_pton(AF_INET6, address.host.c_str(), &ipv6) != 1)
            return unreadable;
        address.ipv6 = true;
        address.loopback = IN6_IS_ADDR_LOOPBACK(&ipv6);
        return address;
    }
    in_addr ipv4{};
    if (inet_pton(AF_INET, address.host.c_str(), &ipv4) != 1)
        return unreadable;
    address.loopback = (ntohl(ipv4.s_addr) >> 24) == 127;
    return address;
}

} // namespace

StatusEndpointPlan planStatusEndpoint(const GeneralSettings& general) {
    if (general.statusAddress.empty())
        return StatusEndpointOff{};
    auto parsed = parseAddress(general.statusAddress);
    if (auto* refused = std::get_if<StatusEndpointRefused>(&parsed))
        return std::move(*refused);
    const StatusListenAddress& address = std::get<StatusListenAddress>(parsed);
    if (address.loopback)
        return address;
    if (general.statusToken.empty())
        return StatusEndpointRefused{"StatusAddress " + general.statusAddress +
                                     " can be reached from other computers and StatusToken is empty"};
    if (general.statusToken.size() < minimumReachableTokenLength)
        return StatusEndpointRefused{"StatusAddress " + general.statusAddress +
                                     " can be reached from other computers and StatusToken is shorter than " +
                                     std::to_string(minimumReachableTokenLength) + " characters"};
    return address;
}

} // namespace quietmon
