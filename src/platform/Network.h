#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>

namespace quietmon {

// A failure to find a host, to connect, to send or receive, or to speak TLS. The message is a sentence
// fit for the log and for a message box.
class NetworkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a TLS server's certificate must be for the connection to go on.
struct TlsTrust {
    // The SHA-256 digest of the one certificate to accept, whoever issued it and whatever name it bears;
    // without one, the certificate must chain to the system's trust store and name the host.
    std::optional<std::array<std::uint8_t, 32>> pinnedSha256;
};

// The server's certificate as a person deciding whether to trust it needs to see it.
struct CertificateDetails {
    // Each member has its initialiser, so that a designated initialiser may leave any of them out.
    std::string problem{}; // why it is not trusted, as OpenSSL words it ("self-signed certificate")
    std::string subject{}; // "CN=mail.example.org, O=Example"
    std::string issuer{};  // the same for who signed it
    std::string expires{}; // "2027-03-01 12:00:00 UTC"
    std::array<std::uint8_t, 32> sha256{};
};

// The TLS handshake went through, but the server's certificate is not one to send a password or a
// message to. The connection is closed.
class UntrustedCertificateError : public NetworkError {
public:
    explicit UntrustedCertificateError(CertificateDetails details)
        : NetworkError("the server's certificate is not trusted (" + details.problem + ")"),
          m_details(std::move(details)) {}
    const CertificateDetails& details() const { return m_details; }

private:
    CertificateDetails m_details;
};

// One TCP connection, which can be switched to TLS in place. No call waits without a bound, and every
// wait ends at once, with a NetworkError, when the stop it was made with is requested.
class NetworkConnection {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    virtual ~NetworkConnection() = default;

    // Sends all of `bytes`. Fails when the peer takes nothing for `stallLimit` or the deadline passes; a
    // zero limit sends only what fits at once and drops the rest.
    virtual void send(std::string_view bytes, std::chrono::milliseconds stallLimit, Deadline deadline) = 0;
    // Waits until bytes arrive or the deadline passes. Returns how many were stored, 0 when the deadline
    // passed first. Fails when the peer has closed the connection.
    virtual std::size_t receive(char* buffer, std::size_t capacity, Deadline deadline) = 0;
    // The TLS client handshake on this connection, TLS 1.2 or later, and the check of the server's
    // certificate against `trust` for the host `serverName`; nothing else is sent before both passed.
    // Throws UntrustedCertificateError when the certificate fails the check, NetworkError when the
    // handshake does; either way the connection is closed.
    virtual void startTls(const std::string& serverName, const TlsTrust& trust, Deadline deadline) = 0;
    // False once closed by either side or after a failure that left the stream unusable.
    virtual bool isOpen() const = 0;
    // Closes at once, without waiting for the peer.
    virtual void close() = 0;
};

class Network {
public:
    virtual ~Network() = default;
    // Looks the host up and tries its addresses in turn until one accepts, all before the deadline. The
    // connection's waits end when `stop` is requested.
    virtual std::unique_ptr<NetworkConnection> connect(const std::string& host, int port,
                                                       NetworkConnection::Deadline deadline,
                                                       std::stop_token stop) = 0;
    // The computer's host name as the system reports it.
    virtual std::string hostName() const = 0;
};

} // namespace quietmon
