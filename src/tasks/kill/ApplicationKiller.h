#pragma once

#include "platform/DesktopWindows.h"
#include "platform/Processes.h"
#include "runtime/Clock.h"
#include "tasks/TaskLog.h"
#include "tasks/kill/KillTask.h"

#include <cstdint>
#include <functional>
#include <string>

namespace quietmon {

// "Kill application" of both queues: the application that owns a top-level window is asked to close it,
// given ten seconds, and ended if its window is still there. Nothing is reported, but for a system that
// cannot end a process safely.
class ApplicationKiller final : public KillTask {
public:
    using Repaint = std::function<void()>;
    using Log = TaskLog;

    static constexpr int closeRequestTimeoutMs = 3000;
    static constexpr int closeChecks = 10;
    static constexpr int closeCheckIntervalMs = 1000;

    // `log` writes a line to the program's log.
    ApplicationKiller(DesktopWindows& windows, Processes& processes, Clock& clock, Repaint repaintMainWindow,
                      Log log);

    // The first top-level window with this title and/or class (exact, any letter case); with both empty,
    // nothing is looked for.
    void killApplication(const std::string& title, const std::string& windowClass) override;

private:
    // `lookedUpAt`: the moment, on the process clock, just before the window was looked up.
    void closeApplication(std::uint64_t window, std::uint64_t lookedUpAt);
    // Ends the window's process, if it can be tied to the window.
    void endOwner(std::uint64_t window, std::uint64_t lookedUpAt);

    DesktopWindows& m_windows;
    Processes& m_processes;
    Clock& m_clock;
    Repaint m_repaint;
    Log m_log;
};

} // namespace quietmon
