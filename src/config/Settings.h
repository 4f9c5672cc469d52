#pragma once

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

struct EmailSettings {
    std::string from = "@";
    std::string to = "@";
    std::string subject; // set from the product name by defaultSettings()
    std::string message;
    std::string smtp;
    std::string file;
    std::string username;
    std::string password; // plain in memory, scrambled in the file
    bool authenticate = false;
    bool ssl = false;
    // The fingerprint of the one certificate to accept from the server instead of one the system's trust
    // store vouches for (a station's own server with a self-signed certificate); empty for none.
    std::string trustedCertificate;
    // What the message carries beside "Attach file": a picture of the levels of the last 10 minutes, and
    // the sound on air around the silence (or around its end, for the return message).
    bool attachLevelGraph = false;
    bool attachAudioClip = false;
};

// An application to end, named by its window's title and class, either of them empty for "any".
struct KillTarget {
    std::string title;
    std::string windowClass;
    bool operator==(const KillTarget&) const = default;
};

// "Kill application" ends up to two applications, in order.
struct KillSettings {
    std::array<KillTarget, 2> applications;
};

enum class SerialPin { Dtr, Rts };
// How long a switched pin stays raised: for `forSeconds`, until the return from the alarm condition, or
// for as long as the program runs.
enum class PinHold { ForSeconds, UntilReturn, Forever };

struct PortSettings {
    int portLine = 0; // line of the port list; the port number is portLine + 1
    std::optional<SerialPin> pin = SerialPin::Dtr;
    int forSeconds = 1;
    std::optional<PinHold> hold = PinHold::ForSeconds;
    // The Linux device to switch, for a port the COMn numbering does not reach (a USB adapter's
    // /dev/ttyUSB0); empty: COMn is /dev/ttyS(n-1).
    std::string device;
};

struct QuerySettings {
    std::string address = "http://";
    std::string query = "=";
};

struct ScreenshotSettings {
    std::string file;
    bool deactivateScreenSaver = false;
};

struct OpenSettings {
    std::array<std::string, 3> files;
    std::array<std::string, 3> params;
};

enum class RebootKind { Reboot, Shutdown };

struct RebootSettings {
    std::optional<RebootKind> kind = RebootKind::Reboot;
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

// The settings of one task queue: its rows, each empty or a task kind's caption, and the settings of the
// kinds both queues run. The alarm queue and the return queue each have their own.
struct TaskQueueSettings {
    explicit TaskQueueSettings(int rowCount) : rows(static_cast<std::size_t>(rowCount)) {}

    std::vector<std::string> rows;
    EmailSettings email;
    KillSettings kill;
    QuerySettings query;
    ScreenshotSettings screenshot;
    OpenSettings open; // "Open/Play 1" of the alarm queue, "Open/Play" of the return queue
    int delaySeconds = 1;
};

struct Settings {
    static constexpr int alarmQueueRows = 32;
    static constexpr int returnQueueRows = 8;

    GeneralSettings general;
    ActivationSettings activation;
    TaskQueueSettings alarmQueue{alarmQueueRows};
    TaskQueueSettings returnQueue{returnQueueRows};
    // The kinds only the alarm queue runs.
    PortSettings port;
    OpenSettings open2;
    std::string speakText;
    int repeatFromLine = 1;
    int repeatMaximum = 5;
    RebootSettings reboot;
    SavedState state;
};

// The defaults of every key; a few of them name the product, and the title also names a named monitor
// (`instanceName` not empty), so that its window and tray tell it from the others.
Settings defaultSettings(const std::string& productName, const std::string& instanceName = {});
std::string defaultTitleSetting(const std::string& productName, const std::string& instanceName);

} // namespace quietmon
