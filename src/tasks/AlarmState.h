#pragma once

#include "platform/DateTime.h"

#include <string>
#include <vector>

namespace quietmon {

// The alarm state the main window holds, shared by the silence detection, both executors and the
// placeholders.
struct AlarmState {
    bool alarmActive = false;
    std::string silentChannels = "Unknown";
    DateTime lastSoundLeft;
    DateTime lastSoundRight;
    DateTime startUpTime;                       // the zero date once the start-up delay has passed
    DateTime eventTime;                         // the moment of the alarm, the return, or the start-up
    std::vector<std::string> runningAlarmQueue; // empty whenever no alarm queue runs
    // The return pass has begun and waits for a send before its last rows: no new silence is counted yet.
    bool returnTasksRunning = false;
    int taskPosition = 999;
    int repeatCount = 99999;
};

} // namespace quietmon
