#include "support/SelfSignedHttpsServer.h"

#include "support/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quietmon::test {

namespace {

using namespace std::chrono_literals;

pid_t spawnQuietly(const std::vector<std::string>& arguments, const std::string& logFile,
                   const std::string& folder = {}) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    const int failed = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw std::runtime_error("cannot start " + arguments[0] + ": " + std::strerror(failed));
    return child;
}

bool accepts(int port) {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool connected = ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return connected;
}

} // namespace

SelfSignedHttpsServer::SelfSignedHttpsServer(Content content) : m_content(content) {
    const pid_t maker = spawnQuietly({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                                      "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1", "-subj",
                                      "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                                      m_folder.file("key.pem"), "-out", m_folder.file("cert.pem")},
                                     m_folder.file("req.log"));
    int status = 0;
    while (::waitpid(maker, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("openssl req failed: " + readWholeFile(m_folder.file("req.log")));
    // The port was free a moment before; another program may take it first, so try again then.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (start())
            return;
    }
    throw std::runtime_error("openssl s_server does not listen: " + log());
}

SelfSignedHttpsServer::~SelfSignedHttpsServer() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

bool SelfSignedHttpsServer::start() {
    m_port = unusedLoopbackPort();
    // -WWW gives the files of the folder it runs in.
    m_pid = spawnQuietly({"openssl", "s_server", "-accept", "127.0.0.1:" + std::to_string(m_port), "-cert",
                          m_folder.file("cert.pem"), "-key", m_folder.file("key.pem"),
                          m_content == Content::Files ? "-WWW" : "-www"},
                         m_folder.file("server.log"), m_served.path());
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        if (accepts(m_port))
            return true;
        std::this_thread::sleep_for(10ms);
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
    return false;
}

std::string SelfSignedHttpsServer::log() const {
    return readWholeFile(m_folder.file("server.log"));
}

bool SelfSignedHttpsServer::waitForLog(std::string_view text, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (log().find(text) != std::string::npos)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
}

} // namespace quietmon::test
