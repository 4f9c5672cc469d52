#pragma once

#include <optional>
#include <string>

namespace quietmon {

enum class ShutdownKind { Reboot, PowerOff };

// Restarting or switching off the computer, through the system's login manager, which decides whether
// this user may.
class SystemShutdown {
public:
    virtual ~SystemShutdown() = default;
    // The manager's answer to whether this user may do it now ("yes", "no", "challenge", "na"), or why it
    // could not be asked.
    virtual std::string mayShutDown(ShutdownKind kind) = 0;
    // Asks for it, without letting the manager ask anyone for a password; nothing when the manager took
    // the request, else why not.
    virtual std::optional<std::string> shutDown(ShutdownKind kind) = 0;
};

} // namespace quietmon
