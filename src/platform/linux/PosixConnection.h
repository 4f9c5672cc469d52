#pragma once

#include "platform/Network.h"
#include "platform/linux/OpenSslTls.h"

#include <memory>

namespace quietmon {

// A connected non-blocking TCP socket; every wait is a poll() with a bound.
class PosixConnection final : public NetworkConnection {
public:
    // Takes ownership of `socket`, already connected.
    explicit PosixConnection(int socket) : m_socket(socket) {}
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

    int m_socket;
    std::unique_ptr<OpenSslTls> m_tls;
};

} // namespace quietmon
