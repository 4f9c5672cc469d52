#include "support/LoopbackHttpServer.h"

#include "support/LoopbackSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace quietmon::test {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::string LoopbackHttpServer::Request::requestLine() const {
    return head.substr(0, head.find("\r\n"));
}

std::string LoopbackHttpServer::Request::header(std::string_view name) const {
    std::string_view rest(head);
    rest.remove_prefix(std::min(rest.size(), requestLine().size() + 2));
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        const std::string_view line = rest.substr(0, end);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && sameIgnoringCase(trimmed(line.substr(0, colon)), name))
            return std::string(trimmed(line.substr(colon + 1)));
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 2);
    }
    return {};
}

bool LoopbackHttpServer::Exchange::send(std::string_view bytes) {
    return sendAll(m_socket, bytes);
}

void LoopbackHttpServer::Exchange::holdUntilReleased() {
    std::unique_lock lock(m_server.m_mutex);
    m_server.m_changed.wait(lock, [this] { return m_server.m_released || m_server.m_stopping; });
}

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : m_handler(std::move(handler)) {
    m_listener = listenOnLoopback(m_port);
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        ::close(m_listener);
        throw std::runtime_error("cannot create a pipe");
    }
    m_acceptor = std::thread([this] { acceptConnections(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        // Wakes handlers blocked in a send or a receive; their threads close the sockets.
        for (const int socket : m_open)
            ::shutdown(socket, SHUT_RDWR);
    }
    m_changed.notify_all();
    const char stop = 's';
    [[maybe_unused]] const ssize_t ignored = ::write(m_wake[1], &stop, 1);
    m_acceptor.join();
    for (std::thread& connection : m_connections)
        connection.join();
    ::close(m_listener);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

std::string LoopbackHttpServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool LoopbackHttpServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

void LoopbackHttpServer::release() {
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
    }
    m_changed.notify_all();
}

std::string LoopbackHttpServer::answer(int status, std::string_view reason, std::string_view body,
                                       std::string_view contentType) {
    return "HTTP/1.0 " + std::to_string(status) + " " + std::string(reason) +
           "\r\nContent-Type: " + std::string(contentType) +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

void LoopbackHttpServer::acceptConnections() {
    for (;;) {
        pollfd waits[2] = {{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (waits[1].revents != 0)
            return;
        const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0)
            continue;
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            ::close(socket);
            return;
        }
        m_open.insert(socket);
        m_connections.emplace_back([this, socket] { serve(socket); });
    }
}

void LoopbackHttpServer::serve(int socket) {
    std::string received;
    char buffer[4096];
    while (received.find("\r\n\r\n") == std::string::npos && received.size() < 65536) {
        const ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        received.append(buffer, static_cast<std::size_t>(got));
    }
    const std::size_t end = received.find("\r\n\r\n");
    if (end != std::string::npos) {
        Request request{received.substr(0, end)};
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
        }
        m_changed.notify_all();
        Exchange exchange(*this, socket, std::move(request));
        m_handler(exchange);
    }
    std::lock_guard lock(m_mutex);
    m_open.erase(socket);
    ::close(socket);
}

int unusedLoopbackPort() {
    int port = 0;
    ::close(listenOnLoopback(port));
    return port;
}

} // namespace quietmon::test
