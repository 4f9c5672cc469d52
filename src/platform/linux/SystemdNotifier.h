#pragma once

#include "runtime/Liveness.h"

#include <chrono>
#include <optional>
#include <thread>

namespace quietmon {

// Tells systemd how the service is doing, over the socket it names in NOTIFY_SOCKET (sd_notify): ready
// once monitoring has started, stopping at exit, and alive, for the unit's WatchdogSec, as often as
// WATCHDOG_USEC asks. Without systemd (no NOTIFY_SOCKET) every call does nothing.
//
// The thread that makes the notifier is the logic thread; only its word counts as alive.
class SystemdNotifier final : public Liveness {
public:
    SystemdNotifier();

    void ready();
    void stopping();
    // A quarter of the watchdog's time-out: a report missed now and then still comes in time. Reports come
    // at most twice as often.
    int reportIntervalMs() const override { return m_reportIntervalMs; }
    void stillAlive() override;

private:
    std::thread::id m_logicThread = std::this_thread::get_id();
    int m_reportIntervalMs = 0;
    std::optional<std::chrono::steady_clock::time_point> m_lastReport;
};

} // namespace quietmon
