#include "support/LoopbackFtpServer.h"

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

// Waits for `socket` to become readable, or for the wake pipe; false on the wake or an error.
bool readable(int socket, int wake) {
    for (;;) {
        pollfd waits[2] = {{socket, POLLIN, 0}, {wake, POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        return waits[1].revents == 0;
    }
}

} // namespace

LoopbackFtpServer::LoopbackFtpServer(std::string fileContents) : m_contents(std::move(fileContents)) {
    m_listener = listenOnLoopback(m_port, 4);
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        ::close(m_listener);
        throw std::runtime_error("cannot create a pipe");
    }
    m_thread = std::thread([this] { acceptSessions(); });
}

LoopbackFtpServer::~LoopbackFtpServer() {
    const char stop = 's';
    [[maybe_unused]] const ssize_t ignored = ::write(m_wake[1], &stop, 1);
    m_thread.join();
    if (m_passive >= 0)
        ::close(m_passive);
    ::close(m_listener);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

std::vector<std::string> LoopbackFtpServer::commands() const {
    std::lock_guard lock(m_mutex);
    return m_commands;
}

void LoopbackFtpServer::acceptSessions() {
    while (readable(m_listener, m_wake[0])) {
        const int control = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (control < 0)
            continue;
        serve(control);
        ::close(control);
    }
}

int LoopbackFtpServer::openPassive() {
    if (m_passive >= 0)
        ::close(m_passive);
    int port = 0;
    m_passive = listenOnLoopback(port);
    return port;
}

void LoopbackFtpServer::serve(int control) {
    if (!sendAll(control, "220 Test server ready\r\n"))
        return;
    std::string received;
    char buffer[1024];
    for (;;) {
        std::size_t end = received.find("\r\n");
        while (end == std::string::npos) {
            if (!readable(control, m_wake[0]))
                return;
            const ssize_t got = ::recv(control, buffer, sizeof buffer, 0);
            if (got <= 0)
                return;
            received.append(buffer, static_cast<std::size_t>(got));
            end = received.find("\r\n");
        }
        const std::string line = received.substr(0, end);
        received.erase(0, end + 2);
        {
            std::lock_guard lock(m_mutex);
            m_commands.push_back(line);
        }
        const std::string verb = line.substr(0, line.find(' '));
        std::string reply;
        if (verb == "USER") {
            reply = "331 Password please\r\n";
        } else if (verb == "PASS") {
            reply = "230 Logged in\r\n";
        } else if (verb == "PWD") {
            reply = "257 \"/\"\r\n";
        } else if (verb == "CWD") {
            reply = "250 Here\r\n";
        } else if (verb == "TYPE") {
            reply = "200 Type set\r\n";
        } else if (verb == "EPSV") {
            reply = "229 Entering Extended Passive Mode (|||" + std::to_string(openPassive()) + "|)\r\n";
        } else if (verb == "PASV") {
            const int port = openPassive();
            reply = "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," +
                    std::to_string(port % 256) + ")\r\n";
        } else if (verb == "SIZE") {
            reply = "213 " + std::to_string(m_contents.size()) + "\r\n";
        } else if (verb == "RETR") {
            if (m_passive < 0 || !sendAll(control, "150 Sending\r\n") || !readable(m_passive, m_wake[0]))
                return;
            const int data = ::accept4(m_passive, nullptr, nullptr, SOCK_CLOEXEC);
            if (data < 0)
                return;
            sendAll(data, m_contents);
            ::close(data);
            reply = "226 Done\r\n";
        } else if (verb == "QUIT") {
            sendAll(control, "221 Bye\r\n");
            return;
        } else {
            reply = "502 Not here\r\n";
        }
        if (!sendAll(control, reply))
            return;
    }
}

} // namespace quietmon::test
