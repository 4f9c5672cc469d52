#pragma once

#include "runtime/DateTime.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace quietmon {

// Every key of the settings file, typed, with its default. One live model: the Setup dialog edits it
// and each consumer reads the current value at the moment of use. A list choice holds its 0-based line,
// -1 when no line is selected.

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
    int startUpStatus = 0;
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

struct ActivationSettings {
    bool condition2 = false; // weekday condition in force
    bool condition3 = false; // time-window condition in force
    bool condition4 = false; // window condition in force
    bool breakQueue = false;
    int channels = 0;               // ChannelRule
    std::array<bool, 7> weekdays{}; // Monday .. Sunday
    int silence = 300;
    int returnSeconds = 1;
    int timeOperator = 0;   // 0 "is", 1 "is not"
    int dayOperator = 0;    // 0 "is", 1 "is not"
    int windowOperator = 0; // 0 "is", 1 "is not"
    int alarmOperator = 0;  // 0 "and", 1 "or"
    int titleClass = 0;     // 0 "title", 1 "class"
    TimeOfDay time1;
    TimeOfDay time2;
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
    bool authentization = false;
    bool ssl = false;
    // The fingerprint of the one certificate to accept from the server instead of one the system's trust
    // store vouches for (a station's own server with a self-signed certificate); empty for none.
    std::string trustedCertificate;
};

struct KillSettings {
    std::string title1, class1, title2, class2;
};

struct PortSettings {
    int comPort = 0; // line of the port list; the port number is comPort + 1
    int pin = 0;     // 0 "DTR", 1 "RTS"
    int forSeconds = 1;
    bool limited = true; // the three modes are exclusive choices
    bool full = false;
    bool forever = false;
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
    bool deactivateScrSaver = false;
};

struct OpenSettings {
    std::array<std::string, 3> files;
    std::array<std::string, 3> params;
};

struct RebootSettings {
    bool doReboot = true; // "Reboot" and "Shutdown" are exclusive choices
    bool doShutdown = false;
};

// Run-time state kept in the settings file so that a restart can carry on.
struct SavedState {
    int top = 10;
    int left = 100;
    bool visible = true;
    int threshold = 25; // threshold slider position: the threshold is -threshold dBFS
    bool alarm = false;
    int lastTask = 999;
    int repeats = 0;
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

// The defaults of every key; a few of them name the product.
Settings defaultSettings(const std::string& productName);

} // namespace quietmon
