#pragma once

#include "config/TaskKindSettings.h"
#include "runtime/DateTime.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quietmon {

// Every key of the settings file, typed, with its default. One live model: the Setup dialog edits it
// and each consumer reads the current value at the moment of use. A list choice holds its 0-based line,
// -1 when no line is selected; a choice of a few named options is an enum, listed in the order its list
// shows them, held as std::nullopt when none is chosen (a file may hold a value outside the list).

// How a run begins: with no alarm, in the alarm without running its tasks, or as the last run ended.
enum class StartUpStatus { AlarmNotActive, Silence, InvokeLastStatus };

struct GeneralSettings {
    std::string title; // set from the product name by defaultSettings()
    std::string leftName = "Left";
    std::string rightName = "Right";
    bool idlePriority = false;
    bool useSystemFont = true;
    bool alwaysOnTop = false;
    bool lockTrackbar = false;
    bool logEvents = false;
    bool dcFilter = true;
    bool internalPlayer = false;
    bool stopPlayer = true;
    int startUpDelay = 30;
    int peakHoldTime = 100;
    int minThreshold = -40;
    int audioInDevice = 0;
    std::string audioInDeviceName = "(Default)";
    std::optional<StartUpStatus> startUpStatus = StartUpStatus::AlarmNotActive;
    std::string setupPassword; // plain in memory, scrambled in the file
    // The read-only status endpoint (an addition of ours): "IP:port" to listen on, empty for none; and
    // the bearer token every request must carry, needed where other computers can reach the address.
    std::string statusAddress;
    std::string statusToken;
    // The network stream heard while the selector's "Network stream" line is chosen; it may carry
    // credentials, which are used but never shown.
    std::string streamAddress;
};

enum class ChannelRule { BothChannels = 0, AnyChannel = 1, LeftChannel = 2, RightChannel = 3 };
// "is" / "is not" in a condition line.
enum class Comparison { Is, IsNot };
// How the time and day lines combine.
enum class Combination { And, Or };
// What the window condition's text names.
enum class WindowMatch { ByTitle, ByClass };

struct ActivationSettings {
    bool weekdayConditionOn = false;
    bool timeConditionOn = false;
    bool windowConditionOn = false;
    bool breakQueue = false;
    std::optional<ChannelRule> channels = ChannelRule::BothChannels;
    std::array<bool, 7> weekdays{}; // Monday .. Sunday
    int silenceSeconds = 300;
    int returnSeconds = 1;
    std::optional<Comparison> timeComparison = Comparison::Is;
    std::optional<Comparison> dayComparison = Comparison::Is;
    std::optional<Comparison> windowComparison = Comparison::Is;
    std::optional<Combination> timeAndDayCombination = Combination::And;
    std::optional<WindowMatch> windowMatch = WindowMatch::ByTitle;
    TimeOfDay timeFrom; // the time condition holds from here to timeTo, both included
    TimeOfDay timeTo;
    std::string window;
};

// A repeat count above any "Maximum number of repeats": no Repeat entry repeats the queue again.
inline constexpr int noRepeatsLeft = 99999;

// Run-time state kept in the settings file so that a restart can carry on.
struct SavedState {
    int top = 10;
    int left = 100;
    bool visible = true;
    int threshold = 25; // threshold slider position: the threshold is -threshold dBFS
    bool alarmActive = false;
    // How many entries of the alarm queue had run (1 to 32); none when no queue is to carry on.
    std::optional<int> lastTask;
    int repeatCount = 0;
    bool rebooting = false; // the save made while closing for a "Reboot system" task
    DateTime lastSilence;   // when the last alarm was raised, in this run or an earlier one; zero: never
};

// The settings of one task queue: its rows, each empty or a task kind's caption, and the settings of each
// kind it runs, which the kind's header (config/taskkinds/) describes. The alarm queue and the return
// queue each have their own.
struct TaskQueueSettings {
    TaskQueueSettings(QueueKind queue, int rowCount, const std::string& productName = {})
        : rows(static_cast<std::size_t>(rowCount)), kinds(defaultTaskKindSettings(queue, productName)) {}

    // The settings of `kind`, a kind this queue runs.
    template <TaskKind kind> KindSettings<kind>& of() {
        return std::any_cast<KindSettings<kind>&>(kinds[static_cast<std::size_t>(kind)]);
    }
    template <TaskKind kind> const KindSettings<kind>& of() const {
        return std::any_cast<const KindSettings<kind>&>(kinds[static_cast<std::size_t>(kind)]);
    }

    std::vector<std::string> rows;
    TaskKindSettingsTable kinds;
};

struct Settings {
    static constexpr int alarmQueueRows = 32;
    static constexpr int returnQueueRows = 8;

    TaskQueueSettings& queue(QueueKind kind) { return kind == QueueKind::Alarm ? alarmQueue : returnQueue; }
    const TaskQueueSettings& queue(QueueKind kind) const {
        return kind == QueueKind::Alarm ? alarmQueue : returnQueue;
    }

    GeneralSettings general;
    ActivationSettings activation;
    TaskQueueSettings alarmQueue{QueueKind::Alarm, alarmQueueRows};
    TaskQueueSettings returnQueue{QueueKind::Return, returnQueueRows};
    SavedState state;
};

// The defaults of every key; a few of them name the product, and the title also names a named monitor
// (`instanceName` not empty), so that its window and tray tell it from the others.
Settings defaultSettings(const std::string& productName, const std::string& instanceName = {});
std::string defaultTitleSetting(const std::string& productName, const std::string& instanceName);

} // namespace quietmon
