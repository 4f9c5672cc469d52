#include "monitor/Monitor.h"
#include "platform/linux/LogindShutdown.h"
#include "setup/RebootCountdownDialog.h"
#include "taskkinds/TaskKindWiring.h"
#include "tasks/reboot/SystemRebooter.h"

namespace quietmon {

namespace {

// "Reboot system" through logind, after the countdown dialog over the main window. The program closes
// itself after saving that it is rebooting.
class WiredReboot final : public WiredTaskKind {
public:
    explicit WiredReboot(TaskKindWiring& wiring)
        : m_countdown(wiring.loop, wiring.mainWindow), m_rebooter(
                                                           m_countdown, m_shutdown, wiring.monitor.taskLog(),
                                                           [&monitor = wiring.monitor](bool rebooting) {
                                                               monitor.setRebooting(rebooting);
                                                               monitor.saveSettings();
                                                           },
                                                           wiring.closeMainWindow) {}
    QueueTask& task() override { return m_rebooter; }

private:
    RebootCountdownDialog m_countdown;
    LogindShutdown m_shutdown;
    SystemRebooter m_rebooter;
};

} // namespace

template <> std::unique_ptr<WiredTaskKind> wireTaskKind<TaskKind::RebootSystem>(TaskKindWiring& wiring) {
    return std::make_unique<WiredReboot>(wiring);
}

} // namespace quietmon
