#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quietmon {

// A failure to find a host, to connect, to send or receive, or to speak TLS. The message is a sentence
// fit for the log and for a message box.
class NetworkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One TCP connection, which can be switched to TLS in place. No call waits without a bound, so a server
// that stops answering can hold the logic thread only as long as the caller allows.
class NetworkConnection {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    virtual ~NetworkConnection() = default;

    // Sends all of `bytes`. Fails when the peer takes nothing for `stallLimit`; a zero limit sends only
    // what fits at once and drops the rest.
    virtual void send(std::string_view bytes, std::chrono::milliseconds stallLimit) = 0;
    // Waits until bytes arrive or the deadline passes. Returns how many were stored, 0 when the deadline
    // passed first. Fails when the peer has closed the connection.
    virtual std::size_t receive(char* buffer, std::size_t capacity, Deadline deadline) = 0;
    // The TLS client handshake on this connection, as the highest protocol version both sides speak.
    // The server's certificate is not checked. On failure the connection is closed.
    virtual void startTls(const std::string& serverName, Deadline deadline) = 0;
    // False once closed by either side or after a failure that left the stream unusable.
    virtual bool isOpen() const = 0;
    // Closes at once, without waiting for the peer.
    virtual void close() = 0;
};

class Network {
public:
    virtual ~Network() = default;
    // Tries the host's addresses in turn until one accepts, all before the deadline.
    virtual std::unique_ptr<NetworkConnection> connect(const std::string& host, int port,
                                                       NetworkConnection::Deadline deadline) = 0;
    // The computer's host name as the system reports it.
    virtual std::string hostName() const = 0;
};

} // namespace quietmon
