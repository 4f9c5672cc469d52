#pragma once

#include "platform/Liveness.h"
#include "platform/Network.h"
#include "platform/linux/OpenSslTls.h"

#include <memory>

namespace quietmon {

// A connected non-blocking TCP socket; every wait is a poll() with a bound.
class PosixConnection final : public NetworkConnection {
public:
    // Takes ownership of `socket`, already connected; `liveness` hears from every wait of the connection.
    PosixConnection(int socket, Liveness& liveness) : m_socket(socket), m_liveness(liveness) {}
    ~PosixConnection() override;
    PosixConnection(const PosixConnection&) = delete;
    PosixConnection& operator=(const PosixConnection&) = delete;

    void send(std::string_view bytes, std::chrono::milliseconds stallLimit) override;
    std::size_t receive(char* buffer, std::size_t capacity, Deadline deadline) override;
    void startTls(const std::string& serverName, Deadline deadline) override;
    bool isOpen() const override { return m_socket >= 0; }
    void close() override;

private:
    void sendRaw(std::string_view bytes, std::chrono::milliseconds stallLimit);
    std::size_t receiveRaw(char* buffer, std::size_t capacity, Deadline deadline);
    void flushTls(std::chrono::milliseconds stallLimit);
    [[noreturn]] void failClosed(const std::string& message);

    // Waits for `events` on the socket up to `timeoutMs`; whether they came.
    bool waitFor(short events, int timeoutMs);

    int m_socket;
    Liveness& m_liveness;
    std::unique_ptr<OpenSslTls> m_tls;
};

} // namespace quietmon
