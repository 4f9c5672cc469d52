#pragma once

#include "platform/Shutdown.h"

namespace quietmon {

// systemd-logind's Manager on the system bus (DBUS_SYSTEM_BUS_ADDRESS where set), through sd-bus: CanReboot
// and CanPowerOff, then Reboot or PowerOff with interactive off; polkit decides. Each call waits at most 5 s
// for its answer.
class LogindShutdown final : public SystemShutdown {
public:
    std::string mayShutDown(ShutdownKind kind) override;
    std::optional<std::string> shutDown(ShutdownKind kind) override;
};

} // namespace quietmon
