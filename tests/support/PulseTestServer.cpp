#include "support/PulseTestServer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quietmon::test {

namespace {

using namespace std::chrono_literals;

// The calling process's environment without `removed`, and with `added` ("NAME=value").
std::vector<std::string> environmentWith(const std::vector<std::string>& removed,
                                         const std::vector<std::string>& added) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        bool drop = false;
        for (const std::string& gone : removed)
            drop = drop || name == gone;
        for (const std::string& replacement : added)
            drop = drop || name == replacement.substr(0, replacement.find('='));
        if (!drop)
            result.push_back(variable);
    }
    result.insert(result.end(), added.begin(), added.end());
    return result;
}

std::vector<char*> pointersTo(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (const std::string& text : strings)
        pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

// Starts `arguments` with standard input from `input` (or /dev/null when -1) and standard output and
// error into `output` (or inherited when -1).
pid_t spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment, int input,
            int output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (output >= 0) {
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
    }
    std::vector<char*> argv = pointersTo(arguments);
    std::vector<char*> envp = pointersTo(environment);
    pid_t child = -1;
    const int failed = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw std::runtime_error("cannot start " + arguments[0] + ": " + std::strerror(failed));
    return child;
}

// Waits up to `timeout` for `child` to end; whether it did.
bool reap(pid_t child, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const pid_t ended = ::waitpid(child, nullptr, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
}

void stop(pid_t child) {
    ::kill(child, SIGTERM);
    if (!reap(child, 5s)) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
}

std::string serverOption(const std::string& server) {
    return server.empty() ? std::string() : "--server=" + server;
}

} // namespace

ProgramResult runProgram(const std::vector<std::string>& arguments, int timeoutMs) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot create a pipe");
    pid_t child = -1;
    try {
        child = spawn(arguments, environmentWith({}, {}), -1, pipe[1]);
    } catch (...) {
        ::close(pipe[0]);
        ::close(pipe[1]);
        throw;
    }
    ::close(pipe[1]);

    ProgramResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd readable{pipe[0], POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char buffer[4096];
        const ssize_t got = ::read(pipe[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        result.output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipe[0]);
    if (timedOut)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!timedOut && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

std::string pactl(const std::string& server, const std::vector<std::string>& arguments) {
    std::vector<std::string> command{"pactl"};
    if (!server.empty())
        command.push_back(serverOption(server));
    command.insert(command.end(), arguments.begin(), arguments.end());
    ProgramResult result = runProgram(command);
    if (result.exitCode != 0) {
        std::string line;
        for (const std::string& word : command)
            line += word + " ";
        throw std::runtime_error(line + "failed: " + result.output);
    }
    return result.output;
}

PulseTestServer::PulseTestServer() {
    start();
}

void PulseTestServer::start() {
    if (running())
        return;
    // Always PulseAudio, whose one process a test can kill or freeze, even where the environment runs
    // PipeWire.
    const std::string sink =
        std::string("module-null-sink sink_name=") + sinkName +
        " format=s16le rate=44100 channels=2 sink_properties=device.description=Private_Test_Sink";
    m_server.launch(QUIETMON_SOUND_SERVER_SCRIPT,
                    "QUIETMON_SOUND_SERVER=pulseaudio && start_sound_server \"$1\" \"$2\" && "
                    "echo \"${SOUND_SERVER_PIDS[*]}\"",
                    {m_folder.path(), sink});
}

void PulseTestServer::freeze() {
    m_server.signal(SIGSTOP);
}

void PulseTestServer::thaw() {
    m_server.signal(SIGCONT);
}

void PulseTestServer::kill() {
    m_server.kill();
}

UnansweringServer::UnansweringServer() {
    listenAt(m_folder.file("native"));
}

UnansweringServer::UnansweringServer(std::string path) {
    listenAt(std::move(path));
}

void UnansweringServer::listenAt(std::string path) {
    m_path = std::move(path);
    m_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_socket < 0 || m_path.size() >= sizeof address.sun_path)
        throw std::runtime_error("cannot make a socket at " + m_path);
    std::copy(m_path.begin(), m_path.end(), address.sun_path);
    if (::bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_socket, 16) != 0) {
        ::close(m_socket);
        throw std::runtime_error("cannot listen at " + m_path);
    }
}

UnansweringServer::~UnansweringServer() {
    ::close(m_socket);
}

TemporaryNullSink::TemporaryNullSink(std::string server, std::string name, const std::string& description,
                                     int channels)
    : m_server(std::move(server)), m_name(std::move(name)) {
    m_module = pactl(m_server, {"load-module", "module-null-sink", "sink_name=" + m_name, "format=s16le",
                                "rate=44100", "channels=" + std::to_string(channels),
                                "sink_properties=device.description=" + description});
    while (!m_module.empty() && std::isspace(static_cast<unsigned char>(m_module.back())))
        m_module.pop_back();
}

TemporaryNullSink::~TemporaryNullSink() {
    try {
        unload();
    } catch (const std::exception&) {
        // The server may be gone, and the sink with it.
    }
}

void TemporaryNullSink::unload() {
    if (m_module.empty())
        return;
    const std::string module = m_module;
    m_module.clear();
    pactl(m_server, {"unload-module", module});
}

HurryingReader::HurryingReader(const std::string& server, const std::string& source) {
    std::vector<std::string> arguments{"parec", "--device=" + source, "--latency-msec=10", "--raw",
                                       "--client-name=quietmon-test-hurry"};
    if (!server.empty())
        arguments.push_back(serverOption(server));
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere < 0)
        throw std::runtime_error("cannot open /dev/null");
    try {
        m_pid = spawn(arguments, environmentWith({}, {}), -1, nowhere);
    } catch (...) {
        ::close(nowhere);
        throw;
    }
    ::close(nowhere);
}

HurryingReader::~HurryingReader() {
    stop(m_pid);
}

TonePlayer::TonePlayer(const std::string& server, const std::string& sink, std::vector<float> amplitudes,
                       double frequency)
    : m_amplitudes(std::move(amplitudes)), m_frequency(frequency) {
    int ends[2];
    // A socket rather than a pipe: writing to it after pacat ended fails instead of raising SIGPIPE.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        throw std::runtime_error("cannot create a socket pair");
    std::vector<std::string> arguments{"pacat",
                                       "--playback",
                                       "--device=" + sink,
                                       "--format=float32le",
                                       "--rate=44100",
                                       "--channels=" + std::to_string(m_amplitudes.size()),
                                       "--latency-msec=30",
                                       "--client-name=quietmon-test-tone"};
    if (!server.empty())
        arguments.push_back(serverOption(server));
    try {
        m_pid = spawn(arguments, environmentWith({}, {}), ends[1], -1);
    } catch (...) {
        ::close(ends[0]);
        ::close(ends[1]);
        throw;
    }
    ::close(ends[1]);
    m_socket = ends[0];
    m_writer = std::thread([this] { writeSamples(); });
}

TonePlayer::~TonePlayer() {
    // Wakes the writer from a full socket; it ends on the failed write.
    ::shutdown(m_socket, SHUT_RDWR);
    m_writer.join();
    ::close(m_socket);
    stop(m_pid);
}

void TonePlayer::writeSamples() {
    constexpr double rate = 44100.0;
    constexpr std::size_t framesPerBlock = 441;
    const std::size_t channels = m_amplitudes.size();
    std::vector<float> block(framesPerBlock * channels);
    std::uint64_t frame = 0;
    for (;;) {
        for (std::size_t i = 0; i < framesPerBlock; ++i, ++frame) {
            const double wave =
                std::sin(2.0 * std::numbers::pi * m_frequency * static_cast<double>(frame) / rate);
            for (std::size_t channel = 0; channel < channels; ++channel)
                block[i * channels + channel] = static_cast<float>(m_amplitudes[channel] * wave);
        }
        const auto* bytes = reinterpret_cast<const char*>(block.data());
        std::size_t left = block.size() * sizeof(float);
        while (left > 0) {
            const ssize_t sent = ::send(m_socket, bytes, left, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR)
                continue;
            if (sent <= 0)
                return;
            bytes += sent;
            left -= static_cast<std::size_t>(sent);
        }
    }
}

} // namespace quietmon::test
