#include "support/PrivateXServer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quietmon::test {

using namespace std::chrono_literals;

namespace {

constexpr int readyDescriptor = 3;

bool waitUntilReady(int descriptor) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    std::string written;
    while (written.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= 0ms)
            return false;
        pollfd readable{descriptor, POLLIN, 0};
        const int polled = poll(&readable, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return false;
        char buffer[32];
        const ssize_t count = read(descriptor, buffer, sizeof buffer);
        if (count <= 0) // the server ended before it was ready
            return false;
        written.append(buffer, static_cast<std::size_t>(count));
    }
    return true;
}

} // namespace

bool displayNumberTaken(int number) {
    const std::string n = std::to_string(number);
    std::error_code error;
    return std::filesystem::exists("/tmp/.X" + n + "-lock", error) ||
           std::filesystem::exists("/tmp/.X11-unix/X" + n, error);
}

PrivateXServer::PrivateXServer(std::vector<std::string> extraArguments)
    : m_extraArguments(std::move(extraArguments)) {
    for (int number = 180; number < 260; ++number) {
        if (!displayNumberTaken(number) && start(number))
            return;
    }
    throw std::runtime_error("no free display number for a private Xvfb");
}

void PrivateXServer::crash() {
    stop(SIGKILL);
}

void PrivateXServer::restart() {
    if (!start(m_number))
        throw std::runtime_error("Xvfb did not start again on " + name());
}

bool PrivateXServer::start(int number) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], readyDescriptor);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string display = ":" + std::to_string(number);
    const std::string descriptor = std::to_string(readyDescriptor);
    std::vector<const char*> argv = {"Xvfb",       display.c_str(), "-nolisten",       "tcp", "-screen", "0",
                                     "320x240x24", "-displayfd",    descriptor.c_str()};
    for (const std::string& argument : m_extraArguments)
        argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed =
        posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    if (failed) {
        close(ready[0]);
        return false;
    }
    m_pid = pid;
    m_number = number;
    m_serving = waitUntilReady(ready[0]);
    close(ready[0]);
    if (!m_serving)
        stop(SIGKILL);
    return m_serving;
}

void PrivateXServer::stop(int signal) {
    if (m_pid <= 0)
        return;
    ::kill(m_pid, signal);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
    // A killed server leaves its socket behind; one that was told to end has removed it already. One
    // that never served may have failed for a socket that another server owns.
    if (m_serving) {
        std::error_code ignored;
        std::filesystem::remove("/tmp/.X11-unix/X" + std::to_string(m_number), ignored);
    }
    m_serving = false;
}

} // namespace quietmon::test
