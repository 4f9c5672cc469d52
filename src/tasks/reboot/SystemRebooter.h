#pragma once

#include "platform/MessageBoxes.h"
#include "platform/Shutdown.h"
#include "tasks/TaskLog.h"
#include "tasks/reboot/RebootTask.h"

#include <functional>
#include <string>

namespace quietmon {

// "Reboot system": after a countdown nobody refused, the computer is restarted or switched off and the
// program closes the normal way. The program is closed only once the system has taken the request: a
// refused reboot leaves the monitor running rather than a station with no monitor at all.
class SystemRebooter final : public RebootTask {
public:
    using Log = TaskLog;
    // Sets the rebooting marker and writes the settings file with it, the alarm state and the position in
    // the queue, which the next start resumes from.
    using SaveRebootingMarker = std::function<void(bool rebooting)>;
    // The program's normal close; the program ends once the caller returns.
    using CloseProgram = std::function<void()>;

    SystemRebooter(RebootPrompt& prompt, SystemShutdown& shutdown, Log log,
                   SaveRebootingMarker saveRebootingMarker, CloseProgram closeProgram);

    void reboot(const RebootSettings& settings) override;

private:
    RebootPrompt& m_prompt;
    SystemShutdown& m_shutdown;
    Log m_log;
    SaveRebootingMarker m_saveRebootingMarker;
    CloseProgram m_closeProgram;
};

} // namespace quietmon
