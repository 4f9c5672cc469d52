#include "platform/linux/SystemdNotifier.h"

#include <systemd/sd-daemon.h>

namespace quietmon {

SystemdNotifier::SystemdNotifier() {
    std::uint64_t timeoutUs = 0;
    // Only for this process: WATCHDOG_PID names the one the watchdog is meant for.
    if (sd_watchdog_enabled(0, &timeoutUs) > 0)
        m_reportIntervalMs = static_cast<int>(std::max<std::uint64_t>(timeoutUs / 4000, 1));
}

void SystemdNotifier::ready() {
    sd_notify(0, "READY=1");
}

void SystemdNotifier::stopping() {
    sd_notify(0, "STOPPING=1");
}

void SystemdNotifier::stillAlive() {
    if (m_reportIntervalMs == 0 || std::this_thread::get_id() != m_logicThread)
        return;
    const auto now = std::chrono::steady_clock::now();
    // Half the interval: a heartbeat that comes a hair early must not be skipped, or the gap doubles.
    if (m_lastReport && now - *m_lastReport < std::chrono::milliseconds(m_reportIntervalMs) / 2)
        return;
    m_lastReport.emplace(now); // not "= now", which GCC 12 takes for keeping a pointer to now
    sd_notify(0, "WATCHDOG=1");
}

} // namespace quietmon
