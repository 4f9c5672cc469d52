#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quietmon {

enum class QueueKind { Alarm, Return };

enum class TaskKind {
    SendEmail,
    SaveScreenshot,
    OpenPlay1,
    OpenPlay2,
    OpenPlay,
    RebootSystem,
    KillApplication,
    SwitchPortPin,
    Delay,
    SendHttpQuery,
    Speak,
    Repeat,
};

// One kind of task: the caption its queue rows hold and its settings page shows, and the queues that run it.
struct TaskKindEntry {
    static constexpr int notInQueue = -1;

    TaskKind kind;
    std::string_view caption;
    // Where the kind's page stands in each queue's list of pages, from 0; notInQueue where the queue does
    // not run it.
    int alarmPlace;
    int returnPlace;
    // Listed among the failure counts from the start, at zero, rather than from its first failure.
    bool failuresListedFromStart;
    // Where the kind's keys stand among the kinds' keys of the settings file, from 0 (config/taskkinds/
    // holds its settings and keys).
    int settingsPlace;
};

// Every task kind the program has. Adding a kind is one row here and files of its own: its settings and
// keys under config/taskkinds/, its task under tasks/, its page under setup/taskpages/ and its wiring to
// the Linux services under taskkinds/.
inline constexpr std::array taskKinds = {
    TaskKindEntry{TaskKind::SendEmail, "Send email", 0, 0, true, 0},
    TaskKindEntry{TaskKind::SaveScreenshot, "Save screenshot", 1, 1, false, 4},
    TaskKindEntry{TaskKind::OpenPlay1, "Open/Play 1", 2, TaskKindEntry::notInQueue, false, 5},
    TaskKindEntry{TaskKind::OpenPlay2, "Open/Play 2", 3, TaskKindEntry::notInQueue, false, 6},
    TaskKindEntry{TaskKind::OpenPlay, "Open/Play", TaskKindEntry::notInQueue, 2, false, 7},
    TaskKindEntry{TaskKind::RebootSystem, "Reboot system", 4, TaskKindEntry::notInQueue, true, 11},
    TaskKindEntry{TaskKind::KillApplication, "Kill application", 5, 3, false, 1},
    TaskKindEntry{TaskKind::SwitchPortPin, "Switch port pin", 6, TaskKindEntry::notInQueue, true, 2},
    TaskKindEntry{TaskKind::Delay, "Delay", 7, 5, false, 10},
    TaskKindEntry{TaskKind::SendHttpQuery, "Send HTTP query", 8, 4, true, 3},
    TaskKindEntry{TaskKind::Speak, "Speak", 9, TaskKindEntry::notInQueue, false, 8},
    TaskKindEntry{TaskKind::Repeat, "Repeat", 10, TaskKindEntry::notInQueue, false, 9},
};

const TaskKindEntry& taskKindEntry(TaskKind kind);
std::string_view captionOf(TaskKind kind);
// The kind whose caption a queue row holds, compared whole and case-sensitive; nothing for any other text,
// which the queues keep in their rows and pass over.
std::optional<TaskKind> taskKindOf(std::string_view caption);
bool runsIn(TaskKind kind, QueueKind queue);
// The kinds a queue runs, in the order its pages stand.
std::vector<TaskKind> taskKindsOf(QueueKind queue);
// Their captions, in the same order.
std::vector<std::string> captionsOf(QueueKind queue);
// Every kind, in the order their keys stand in the settings file.
std::vector<TaskKind> taskKindsInSettingsOrder();

} // namespace quietmon
