#include "platform/linux/SoundBackendProbe.h"

#include "platform/linux/PulseBlockingConnection.h"
#include "platform/linux/SoundServerRoute.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quietmon {

namespace {

std::string environment(const char* name, const std::string& otherwise = {}) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : otherwise;
}

bool isSocketFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

} // namespace

std::optional<std::set<std::string>> listeningUnixSockets() {
    std::ifstream table("/proc/net/unix");
    if (!table)
        return std::nullopt;
    constexpr unsigned long acceptingConnections = 0x10000; // __SO_ACCEPTCON: the socket listens
    std::set<std::string> paths;
    std::string line;
    std::getline(table, line); // the column heads
    while (std::getline(table, line)) {
        // "Num: RefCount Protocol Flags Type St Inode Path"; the path, when there is one, runs to the end.
        std::istringstream fields(line);
        std::string number, references, protocol, flags, type, state, inode;
        if (!(fields >> number >> references >> protocol >> flags >> type >> state >> inode))
            continue;
        std::string path;
        std::getline(fields >> std::ws, path);
        if (!path.empty() && path.front() == '/' &&
            (std::strtoul(flags.c_str(), nullptr, 16) & acceptingConnections) != 0)
            paths.insert(path);
    }
    return paths;
}

std::set<std::string> pipeWireSocketPaths() {
    const std::string remote = environment("PIPEWIRE_REMOTE", "pipewire-0");
    if (remote.front() == '/')
        return {remote};
    std::set<std::string> paths;
    for (const char* folder : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR"}) {
        const std::string path = environment(folder);
        if (!path.empty())
            paths.insert(path + "/" + remote);
    }
    return paths;
}

std::set<std::string> jackSocketPaths() {
    // JACK 2 and JACK 1, each for this user and for a server shared by all ("promiscuous").
    const std::string server = environment("JACK_DEFAULT_SERVER", "default");
    const std::string user = std::to_string(::getuid());
    return {"/dev/shm/jack_" + server + "_" + user + "_0", "/dev/shm/jack_" + server + "_0",
            "/dev/shm/jack-" + user + "/" + server + "/jack_0", "/dev/shm/jack/" + server + "/jack_0"};
}

SoundBackendProbe::SoundBackendProbe(std::chrono::milliseconds answerTimeout)
    : m_answerTimeout(answerTimeout) {}

bool SoundBackendProbe::present(SoundBackend backend, const std::string& device) {
    switch (backend) {
    case SoundBackend::pulseAudio:
        return pulseServerAnswers(device);
    case SoundBackend::pipeWire:
        if (!m_pipeWire)
            m_pipeWire = anyListening(pipeWireSocketPaths());
        return *m_pipeWire;
    case SoundBackend::jack:
        if (!m_jack)
            m_jack = anyListening(jackSocketPaths());
        return *m_jack;
    case SoundBackend::oss:
        return ::access("/dev/dsp", F_OK) == 0;
    }
    return false;
}

bool SoundBackendProbe::pulseServerAnswers(const std::string& device) {
    const std::optional<SoundServerSource> source = soundServerSourceOf(device);
    const std::string server = source ? source->server : std::string();
    const auto known = m_pulseServers.find(server);
    if (known != m_pulseServers.end())
        return known->second;
    // One that took the connection but is slow to answer is there all the same (a server that systemd starts
    // at the first connection takes a moment): only a server that is not there at all is left out, and the
    // listing waits for none for long.
    const PulseBlockingConnection connection(m_answerTimeout, unwatched(), server);
    const bool there = connection.ready() || connection.stillConnecting();
    m_pulseServers.emplace(server, there);
    return there;
}

bool SoundBackendProbe::anyListening(const std::set<std::string>& paths) {
    if (!m_listening)
        m_listening = listeningUnixSockets();
    for (const std::string& path : paths) {
        // Without the kernel's table, a socket file is taken at its word.
        if (m_listening ? m_listening->contains(path) : isSocketFile(path))
            return true;
    }
    return false;
}

} // namespace quietmon
