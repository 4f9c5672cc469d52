#pragma once

#include "config/Settings.h"

#include <string>
#include <variant>

namespace quietmon {

// Where the status endpoint listens: a numeric IPv4 address or a bracketed IPv6 one, and a port
// ("127.0.0.1:9823", "[::1]:9823", "0.0.0.0:9823"). Names are not taken: their address could change
// under a running endpoint.
struct StatusListenAddress {
    std::string host; // without brackets
    int port = 0;
    bool ipv6 = false;
    bool loopback = false; // only this computer can reach it
};

// The endpoint is off: `StatusAddress` is empty.
struct StatusEndpointOff {};
// The endpoint may not start with these settings, for the reason given.
struct StatusEndpointRefused {
    std::string reason;
};
using StatusEndpointPlan = std::variant<StatusEndpointOff, StatusEndpointRefused, StatusListenAddress>;

// What `General`/`StatusAddress` and `StatusToken` ask for. An address other computers can reach needs a
// token of at least this many characters, too many to be guessed by trying: the levels and the alarm of a
// station are nobody else's business.
inline constexpr std::size_t minimumReachableTokenLength = 16;
StatusEndpointPlan planStatusEndpoint(const GeneralSettings& general);

} // namespace quietmon
