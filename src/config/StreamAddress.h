#pragma once

#include <optional>
#include <string>

namespace quietmon {

// The address as the log, the status page and the placeholders may show it: any "user:password@" of
// its authority left out.
std::string addressWithoutCredentials(const std::string& address);

// Why the monitor will not open this stream address, or nothing. Only network schemes are read: a local
// file, a pipe or a concatenation could read what the monitor's user may read, and a stream must not.
std::optional<std::string> streamAddressRefusal(const std::string& address);

} // namespace quietmon
