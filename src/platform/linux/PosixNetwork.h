#pragma once

#include "platform/Network.h"

namespace quietmon {

// TCP over the system's sockets, host names through the resolver, TLS through OpenSSL.
class PosixNetwork final : public Network {
public:
    std::unique_ptr<NetworkConnection> connect(const std::string& host, int port,
                                               NetworkConnection::Deadline deadline) override;
    std::string hostName() const override;
};

} // namespace quietmon
