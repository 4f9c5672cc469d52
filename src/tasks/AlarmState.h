#pragma once

#include "config/Settings.h"
#include "config/TaskKinds.h"
#include "runtime/DateTime.h"
#include "tasks/StartUpDelay.h"

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
    // The last sound the silence detection counted in each channel: after the start-up delay and outside
    // an alarm only, the zero date until then. It names the silent channels of an "any channel" alarm.
    // (The status endpoint keeps its own, of every measurement from the start: Monitor's last heard.)
    DateTime lastCountedSoundLeft;
    DateTime lastCountedSoundRight;
    StartUpDelay startUpDelay;
    DateTime eventTime; // the moment of the alarm, the return, or the start-up
    // Empty whenever no alarm queue runs; a row of a caption no kind has is kept and does nothing.
    std::vector<std::optional<TaskKind>> runningAlarmQueue;
    // The return pass has begun and waits for a send before its last rows: no new silence is counted yet.
    bool returnTasksRunning = false;
    // How many entries of the running alarm queue have run; none when no queue is to carry on.
    std::optional<int> taskPosition;
    int repeatCount = noRepeatsLeft;
    // The stream's last "now playing" title, as "%streamtitle" tells it; empty for other inputs.
    std::string streamTitle;
};

} // namespace quietmon
