#pragma once

#include "platform/Liveness.h"
#include "platform/Network.h"

namespace quietmon {

// TCP over the system's sockets, host names through the resolver, TLS through OpenSSL.
class PosixNetwork final : public Network {
public:
    // `liveness` hears from the waits of every connection, and of connecting.
    explicit PosixNetwork(Liveness& liveness = unwatched()) : m_liveness(liveness) {}

    std::unique_ptr<NetworkConnection> connect(const std::string& host, int port,
                                               NetworkConnection::Deadline deadline) override;
    std::string hostName() const override;

private:
    Liveness& m_liveness;
};

} // namespace quietmon
