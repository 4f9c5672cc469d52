#pragma once

#include "platform/Network.h"

namespace quietmon {

// TCP over the system's sockets, host names through the resolver, TLS through OpenSSL. Meant for a worker
// thread: looking a name up and connecting wait, each within the deadline given.
class PosixNetwork final : public Network {
public:
    std::unique_ptr<NetworkConnection> connect(const std::string& host, int port,
                                               NetworkConnection::Deadline deadline,
                                               std::stop_token stop) override;
    std::string hostName() const override;
};

} // namespace quietmon
