#pragma once

#include "platform/Network.h"
#include "platform/linux/OpenSslTls.h"

#include <memory>
#include <stop_token>

namespace quietmon {

// A connected non-blocking TCP socket; every wait is a poll() with a bound, which also ends soon after
// the stop is requested.
class PosixConnection final : public NetworkConnection {
public:
    // How often a wait looks at the stop.
    static constexpr int stopCheckMs = 200;

    // Takes ownership of `socket`, already connected.
    PosixConnection(int socket, std::stop_token stop) : m_socket(socket), m_stop(std::move(stop)) {}
    ~PosixConnection() override;
    PosixConnection(const PosixConnection&) = delete;
    PosixConnection& operator=(const PosixConnection&) = delete;

    void send(std::string_view bytes, std::chrono::milliseconds stallLimit, Deadline deadline) override;
    std::size_t receive(char* buffer, std::size_t capacity, Deadline deadline) override;
    void startTls(const std::string& serverName, const TlsTrust& trust, Deadline deadline) override;
    bool isOpen() const override { return m_socket >= 0; }
    void close() override;

private:
    void sendRaw(std::string_view bytes, std::chrono::milliseconds stallLimit, Deadline deadline);
    std::size_t receiveRaw(char* buffer, std::size_t capacity, Deadline deadline);
    void flushTls(Deadline deadline);
    [[noreturn]] void failClosed(const std::string& message);

    // Waits for `events` on the socket until the deadline; whether they came.
    bool waitFor(short events, Deadline deadline);

    int m_socket;
    std::stop_token m_stop;
    std::unique_ptr<OpenSslTls> m_tls;
};

// Waits for `events` on `socket` until the deadline, looking at `stop` every PosixConnection::stopCheckMs;
// whether they came. Throws NetworkError when the stop was requested or poll() failed.
bool waitForSocket(int socket, short events, NetworkConnection::Deadline deadline,
                   const std::stop_token& stop);

} // namespace quietmon
