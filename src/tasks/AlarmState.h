#pragma once

#include "config/TaskKinds.h"
#include "runtime/DateTime.h"

#include <optional>
#include <string>
#include <vector>

namespace quietmon {

// What raised the alarm, as "%cause" tells it.
namespace alarm_causes {
inline constexpr const char* silence = "Silence";
// Nothing came from the audio input: a dead capture or sound server, not a silent programme.
inline constexpr const char* inputLost = "Audio input lost";
// No alarm was raised in this run (a queue resumed after the program's own reboot).
inline constexpr const char* unknown = "Unknown";
} // namespace alarm_causes

// The alarm state the main window holds, shared by the silence detection, both executors and the
// placeholders.
struct AlarmState {
    bool alarmActive = false;
    std::string silentChannels = "Unknown";
    // Set when the alarm is raised and kept after it, so that the return's tasks tell it too.
    std::string cause = alarm_causes::unknown;
    DateTime lastSoundLeft;
    DateTime lastSoundRight;
    DateTime startUpTime; // the zero date once the start-up delay has passed
    DateTime eventTime;   // the moment of the alarm, the return, or the start-up
    // Empty whenever no alarm queue runs; a row of a caption no kind has is kept and does nothing.
    std::vector<std::optional<TaskKind>> runningAlarmQueue;
    // The return pass has begun and waits for a send before its last rows: no new silence is counted yet.
    bool returnTasksRunning = false;
    int taskPosition = 999;
    int repeatCount = 99999;
    // The stream's last "now playing" title, as "%streamtitle" tells it; empty for other inputs.
    std::string streamTitle;
};

} // namespace quietmon
