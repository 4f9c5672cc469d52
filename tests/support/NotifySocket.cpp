#include "support/NotifySocket.h"

#include <algorithm>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quietmon::test {

NotifySocket::NotifySocket(std::optional<std::chrono::milliseconds> watchdogTimeout) {
    const std::string path = m_folder.file("notify");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw std::runtime_error("notify socket path too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error(std::string("notify socket: ") + std::strerror(errno));
    m_notifySocket.emplace("NOTIFY_SOCKET", path);
    if (watchdogTimeout) {
        m_watchdogTimeout.emplace("WATCHDOG_USEC", std::to_string(watchdogTimeout->count() * 1000));
        m_watchdogProcess.emplace("WATCHDOG_PID", std::to_string(::getpid()));
    }
    m_receiver = std::thread([this] { receive(); });
}

NotifySocket::~NotifySocket() {
    m_stop = true;
    m_receiver.join();
    ::close(m_socket);
}

void NotifySocket::receive() {
    char buffer[4096];
    while (!m_stop) {
        pollfd entry{m_socket, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0)
            continue;
        const ssize_t got = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (got <= 0)
            continue;
        const std::lock_guard lock(m_mutex);
        m_messages.push_back(
            {std::string(buffer, static_cast<std::size_t>(got)), std::chrono::steady_clock::now()});
    }
}

std::vector<NotifySocket::Message> NotifySocket::messages() const {
    const std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<std::string> NotifySocket::texts(std::size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (messages().size() < count && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::vector<std::string> texts;
    for (const Message& message : messages())
        texts.push_back(message.text);
    return texts;
}

std::chrono::milliseconds NotifySocket::longestSilence(const std::string& text, Moment from,
                                                       Moment to) const {
    Moment last = from;
    std::chrono::steady_clock::duration longest{};
    for (const Message& message : messages()) {
        if (message.text != text || message.at < from || message.at > to)
            continue;
        longest = std::max(longest, message.at - last);
        last = message.at;
    }
    longest = std::max(longest, to - last);
    return std::chrono::duration_cast<std::chrono::milliseconds>(longest);
}

std::size_t NotifySocket::countOf(const std::string& text, Moment from, Moment to) const {
    std::size_t count = 0;
    for (const Message& message : messages())
        count += message.text == text && message.at >= from && message.at <= to ? 1 : 0;
    return count;
}

} // namespace quietmon::test
