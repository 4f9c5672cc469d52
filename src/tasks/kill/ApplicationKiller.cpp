#include "tasks/kill/ApplicationKiller.h"

#include <exception>

namespace quietmon {

ApplicationKiller::ApplicationKiller(DesktopWindows& windows, Processes& processes, Clock& clock,
                                     Repaint repaintMainWindow, Log log)
    : m_windows(windows), m_processes(processes), m_clock(clock), m_repaint(std::move(repaintMainWindow)),
      m_log(std::move(log)) {}

void ApplicationKiller::killApplication(const std::string& title, const std::string& windowClass) {
    if (title.empty() && windowClass.empty())
        return;
    const std::uint64_t lookedUpAt = m_processes.processClockNow();
    const std::optional<TopLevelWindow> window = m_windows.findWindowByTitleAndClass(title, windowClass);
    closeApplication(window ? window->handle : 0, lookedUpAt);
}

void ApplicationKiller::closeApplication(std::uint64_t window, std::uint64_t lookedUpAt) {
    if (window == 0)
        return;
    try {
        if (!m_windows.windowExists(window))
            return;
        // The window is not drawn again until this returns, up to half a minute later.
        if (m_repaint)
            m_repaint();
        m_windows.requestWindowClose(window, closeRequestTimeoutMs);
        for (int check = 0; check < closeChecks; ++check) {
            if (!m_windows.windowExists(window))
                return; // the application closed itself
            m_clock.sleep(closeCheckIntervalMs);
        }
        endOwner(window, lookedUpAt);
    } catch (const std::exception&) {
        // The queue goes on whatever happened here.
    }
}

void ApplicationKiller::endOwner(std::uint64_t window, std::uint64_t lookedUpAt) {
    // The window service names the process only where the display server itself knows the window's client
    // (0 otherwise). No id, the kernel's own processes and this program are never the window's to end.
    const int pid = m_windows.windowProcessId(window);
    if (pid <= 1 || pid == m_processes.ownProcessId())
        return;
    // A process that started after the look-up only reuses the id of the window's owner, which has ended.
    if (m_processes.forceEnd(pid, lookedUpAt) == ProcessEnd::Unsupported && m_log)
        m_log.failure(TaskKind::KillApplication,
                      "Kill application failed - this system cannot end a process safely (no pidfd support)");
}

} // namespace quietmon
