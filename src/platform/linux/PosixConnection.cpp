#include "platform/linux/PosixConnection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quietmon {

namespace {

using SteadyClock = std::chrono::steady_clock;

int millisecondsUntil(NetworkConnection::Deadline deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 24LL * 3600 * 1000));
}

} // namespace

bool waitForSocket(int socket, short events, NetworkConnection::Deadline deadline,
                   const std::stop_token& stop) {
    for (;;) {
        if (stop.stop_requested())
            throw NetworkError("The send was stopped.");
        pollfd entry{socket, events, 0};
        const int left = millisecondsUntil(deadline);
        const int ready = ::poll(&entry, 1, std::min(left, PosixConnection::stopCheckMs));
        if (ready > 0)
            return true;
        if (ready == 0 && left <= PosixConnection::stopCheckMs)
            return false;
        if (ready < 0 && errno != EINTR)
            throw NetworkError(std::string("Waiting on the connection failed: ") + std::strerror(errno));
    }
}

bool PosixConnection::waitFor(short events, Deadline deadline) {
    return waitForSocket(m_socket, events, deadline, m_stop);
}

PosixConnection::~PosixConnection() {
    close();
}

void PosixConnection::close() {
    const std::unique_ptr<OpenSslTls> tls = std::move(m_tls);
    if (m_socket < 0)
        return;
    if (tls) {
        // The close notification goes if it fits at once; the peer learns of the end either way.
        tls->shutdown();
        const std::string goodbye = tls->takeOutgoing();
        if (!goodbye.empty())
            (void)::send(m_socket, goodbye.data(), goodbye.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    ::close(m_socket);
    m_socket = -1;
}

void PosixConnection::failClosed(const std::string& message) {
    close();
    throw NetworkError(message);
}

void PosixConnection::send(std::string_view bytes, std::chrono::milliseconds stallLimit, Deadline deadline) {
    if (m_socket < 0)
        throw NetworkError("The connection is closed.");
    if (!m_tls) {
        sendRaw(bytes, stallLimit, deadline);
        return;
    }
    // In pieces, so that a large message never sits encrypted in memory twice over.
    constexpr std::size_t piece = 64 * 1024;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        m_tls->write(bytes.substr(at, piece));
        sendRaw(m_tls->takeOutgoing(), stallLimit, deadline);
    }
}

void PosixConnection::sendRaw(std::string_view bytes, std::chrono::milliseconds stallLimit,
                              Deadline deadline) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (stallLimit.count() <= 0)
                return;
            if (!waitFor(POLLOUT, std::min(deadline, SteadyClock::now() + stallLimit)))
                throw NetworkError("The server took no data for " + std::to_string(stallLimit.count()) +
                                   " ms.");
            continue;
        }
        failClosed(std::string("Sending to the server failed: ") + std::strerror(errno));
    }
}

void PosixConnection::flushTls(Deadline deadline) {
    const std::string outgoing = m_tls->takeOutgoing();
    if (!outgoing.empty())
        sendRaw(
            outgoing,
            std::max(std::chrono::milliseconds(millisecondsUntil(deadline)), std::chrono::milliseconds(1)),
            deadline);
}

std::size_t PosixConnection::receive(char* buffer, std::size_t capacity, Deadline deadline) {
    if (m_socket < 0)
        throw NetworkError("The connection is closed.");
    if (!m_tls)
        return receiveRaw(buffer, capacity, deadline);
    char raw[16384];
    for (;;) {
        std::size_t got = 0;
        try {
            got = m_tls->read(buffer, capacity);
        } catch (const NetworkError& error) {
            failClosed(error.what());
        }
        // Reading may have produced data of the session's own, such as a key update's answer.
        flushTls(deadline);
        if (got > 0)
            return got;
        const std::size_t received = receiveRaw(raw, sizeof raw, deadline);
        if (received == 0)
            return 0;
        m_tls->putIncoming(raw, received);
    }
}

std::size_t PosixConnection::receiveRaw(char* buffer, std::size_t capacity, Deadline deadline) {
    for (;;) {
        const ssize_t got = ::recv(m_socket, buffer, capacity, 0);
        if (got > 0)
            return static_cast<std::size_t>(got);
        if (got == 0)
            failClosed("The server closed the connection.");
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            failClosed(std::string("Receiving from the server failed: ") + std::strerror(errno));
        if (!waitFor(POLLIN, deadline))
            return 0;
    }
}

void PosixConnection::startTls(const std::string& serverName, const TlsTrust& trust, Deadline deadline) {
    if (m_socket < 0)
        throw NetworkError("The connection is closed.");
    try {
        m_tls = std::make_unique<OpenSslTls>(serverName, trust);
        char raw[16384];
        for (;;) {
            const bool done = m_tls->handshake();
            flushTls(deadline);
            if (done)
                break;
            const std::size_t received = receiveRaw(raw, sizeof raw, deadline);
            if (received == 0)
                throw NetworkError("The TLS handshake did not finish in time.");
            m_tls->putIncoming(raw, received);
        }
        m_tls->checkCertificate();
    } catch (...) {
        // A half-made TLS session, or one with a server not to be trusted, carries nothing more.
        close();
        throw;
    }
}

} // namespace quietmon
