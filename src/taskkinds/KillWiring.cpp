#include "monitor/Monitor.h"
#include "platform/linux/LinuxProcesses.h"
#include "platform/linux/X11DesktopWindows.h"
#include "runtime/EventLoop.h"
#include "taskkinds/TaskKindWiring.h"
#include "tasks/kill/ApplicationKiller.h"

namespace quietmon {

namespace {

// "Kill application": the X display's windows, the system's processes.
class WiredKill final : public WiredTaskKind {
public:
    explicit WiredKill(TaskKindWiring& wiring)
        : m_killer(wiring.windows, m_processes, wiring.loop.clock(), wiring.repaintMainWindow,
                   wiring.monitor.taskLog()) {}
    QueueTask& task() override { return m_killer; }

private:
    LinuxProcesses m_processes;
    ApplicationKiller m_killer;
};

} // namespace

template <> std::unique_ptr<WiredTaskKind> wireTaskKind<TaskKind::KillApplication>(TaskKindWiring& wiring) {
    if (wiring.withoutDisplay)
        return nullptr;
    return std::make_unique<WiredKill>(wiring);
}

} // namespace quietmon
