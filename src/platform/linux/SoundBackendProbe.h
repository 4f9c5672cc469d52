#pragma once

#include "platform/linux/AlsaCaptureDevices.h"

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace quietmon {

// Finds out whether the sound servers (and OSS's device) that ALSA's plugin devices lead to are there now,
// asking each once, so that the device list offers no device that cannot deliver anything. A PulseAudio
// server is there when a connection to it does not fail within `answerTimeout` (none is ever started);
// JACK and PipeWire's own server when a socket listens where their clients look for it, which costs no
// connection and wakes no socket-activated server; OSS when its device file exists.
class SoundBackendProbe {
public:
    explicit SoundBackendProbe(std::chrono::milliseconds answerTimeout);

    bool present(SoundBackend backend, const std::string& device);

private:
    bool pulseServerAnswers(const std::string& device);
    bool anyListening(const std::set<std::string>& paths);

    std::chrono::milliseconds m_answerTimeout;
    std::map<std::string, bool> m_pulseServers; // by address, "" for the one libpulse finds
    std::optional<std::set<std::string>> m_listening;
    std::optional<bool> m_pipeWire;
    std::optional<bool> m_jack;
};

// The paths of the Unix sockets that listen now, by the kernel's table (/proc/net/unix); nothing when it
// cannot be read. A socket file left behind by a server that died is not among them.
std::optional<std::set<std::string>> listeningUnixSockets();

// Where PipeWire's clients and JACK's look for their server, by the same environment they read.
std::set<std::string> pipeWireSocketPaths();
std::set<std::string> jackSocketPaths();

} // namespace quietmon
