#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quietmon::test {

// A small FTP server on 127.0.0.1 that serves one file to any user, in passive mode only (EPSV and PASV;
// active mode is refused), and keeps the commands it was sent. One client at a time.
class LoopbackFtpServer {
public:
    explicit LoopbackFtpServer(std::string fileContents);
    ~LoopbackFtpServer();
    LoopbackFtpServer(const LoopbackFtpServer&) = delete;
    LoopbackFtpServer& operator=(const LoopbackFtpServer&) = delete;

    int port() const { return m_port; }
    // The commands of the sessions so far, as sent, without the line ends.
    std::vector<std::string> commands() const;

private:
    void acceptSessions();
    void serve(int control);
    // A fresh passive listener; its port.
    int openPassive();

    std::string m_contents;
    int m_listener = -1;
    int m_passive = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_commands;
    std::thread m_thread;
};

} // namespace quietmon::test
