#include "support/SmtpTestServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

#ifndef QUIETMON_TEST_SUPPORT_DIR
#error "QUIETMON_TEST_SUPPORT_DIR names the folder of smtp-test-server.py"
#endif

namespace quietmon::test {

namespace {

using namespace std::chrono_literals;

// Runs a program to its end and throws when it fails.
void run(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    const int failed = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw std::runtime_error("cannot start " + arguments[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(arguments[0] + " failed");
}

struct CertificateFolder {
    TempFolder folder;
    TestCertificates certificates{folder.path()};
    CertificateFolder() {
        run({"/usr/bin/python3", std::string(QUIETMON_TEST_SUPPORT_DIR) + "/make-test-certificates.py",
             folder.path()});
    }
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

} // namespace

const TestCertificates& testCertificates() {
    static const CertificateFolder made;
    return made.certificates;
}

std::string TestCertificates::fingerprint(const std::string& name) const {
    std::string text = readWholeFile(folder + "/" + name + ".sha256");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

TrustTestAuthority::TrustTestAuthority()
    : m_override(std::make_unique<EnvironmentOverride>("SSL_CERT_FILE",
                                                       testCertificates().certificate("authority"))) {}

TrustTestAuthority::~TrustTestAuthority() = default;

SmtpTestServer::SmtpTestServer(SmtpTestServerOptions options) {
    std::vector<std::string> arguments = {"/usr/bin/python3",
                                          std::string(QUIETMON_TEST_SUPPORT_DIR) + "/smtp-test-server.py",
                                          m_folder.file("mail"), "--mode", options.mode};
    if (options.starttls || options.implicitTls) {
        const TestCertificates& certificates = testCertificates();
        arguments.insert(arguments.end(), {"--cert", certificates.certificate(options.certificate), "--key",
                                           certificates.folder + "/" + options.certificate + ".key"});
        if (options.tls10Only)
            arguments.push_back("--tls10");
        if (options.implicitTls)
            arguments.push_back("--implicit-tls");
    }
    if (!options.user.empty())
        arguments.insert(arguments.end(), {"--auth", options.user, options.password});
    if (options.refuseEhlo)
        arguments.push_back("--no-ehlo");
    arguments.insert(arguments.end(), {"--interval", std::to_string(options.dripIntervalMs / 1000.0)});

    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot create a pipe");
    if (::pipe2(output, O_CLOEXEC) != 0) {
        ::close(input[0]);
        ::close(input[1]);
        throw std::runtime_error("cannot create a pipe");
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const std::string log = m_folder.file("server.log");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    const int failed = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    m_input = input[1];
    if (failed != 0) {
        ::close(output[0]);
        m_pid = -1;
        throw std::runtime_error("cannot start the SMTP test server");
    }

    // The server says "port N" once it listens.
    std::string said;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (said.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd entry{output[0], POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (::poll(&entry, 1, static_cast<int>(std::max<long long>(left.count(), 0))) <= 0)
            continue;
        char buffer[256];
        const ssize_t got = ::read(output[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        said.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(output[0]);
    if (said.rfind("port ", 0) != 0) {
        stop();
        throw std::runtime_error("the SMTP test server did not start: " + readWholeFile(log));
    }
    m_port = std::stoi(said.substr(5));
}

SmtpTestServer::~SmtpTestServer() {
    stop();
}

void SmtpTestServer::stop() {
    if (m_input >= 0)
        ::close(m_input);
    m_input = -1;
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (::waitpid(m_pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    m_pid = -1;
}

std::vector<std::string> SmtpTestServer::messages() const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.file("mail"), ignored)) {
        if (entry.path().extension() == ".eml")
            names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> contents;
    for (const std::string& name : names)
        contents.push_back(readWholeFile(name));
    return contents;
}

std::vector<std::string> SmtpTestServer::transcript() const {
    return linesOf(readWholeFile(m_folder.file("mail/transcript.txt")));
}

bool SmtpTestServer::waitForClosedConnections(int count, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::vector<std::string> lines = transcript();
        if (std::count(lines.begin(), lines.end(), "<closed>") >= count)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // The server notes the end of a connection a moment after the client has gone.
        std::this_thread::sleep_for(5ms);
    }
}

RefusingPort::RefusingPort() {
    m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot bind a loopback port");
    m_port = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort() {
    if (m_socket >= 0)
        ::close(m_socket);
}

std::string decodeBase64(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned value = 0;
    int bits = 0;
    for (char c : text) {
        const std::size_t index = alphabet.find(c);
        if (index == std::string::npos)
            continue; // line breaks and padding
        value = value << 6 | static_cast<unsigned>(index);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>(value >> bits & 0xFF);
        }
    }
    return out;
}

} // namespace quietmon::test
