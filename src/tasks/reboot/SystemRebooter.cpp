#include "tasks/reboot/SystemRebooter.h"

namespace quietmon {

SystemRebooter::SystemRebooter(RebootPrompt& prompt, SystemShutdown& shutdown, Log log,
                               SaveRebootingMarker saveRebootingMarker, CloseProgram closeProgram)
    : m_prompt(prompt), m_shutdown(shutdown), m_log(std::move(log)),
      m_saveRebootingMarker(std::move(saveRebootingMarker)), m_closeProgram(std::move(closeProgram)) {}

void SystemRebooter::reboot(const RebootSettings& settings) {
    if (m_prompt.askToReboot() == RebootAnswer::No) {
        m_log("Reboot suppressed by user");
        return;
    }
    // Only "Reboot" is consulted: anything else switches the computer off.
    const ShutdownKind kind =
        settings.kind == RebootKind::Reboot ? ShutdownKind::Reboot : ShutdownKind::PowerOff;
    if (const std::string answer = m_shutdown.mayShutDown(kind); answer != "yes") {
        m_log.failure(TaskKind::RebootSystem, "Reboot failed - " + answer);
        return;
    }
    // Saved before the request: once the system has it, the program may be ended at any moment.
    m_saveRebootingMarker(true);
    if (const auto refusal = m_shutdown.shutDown(kind)) {
        m_saveRebootingMarker(false);
        m_log.failure(TaskKind::RebootSystem, "Reboot failed - " + *refusal);
        return;
    }
    m_closeProgram();
}

} // namespace quietmon
