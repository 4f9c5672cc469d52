#pragma once

#include "config/Folders.h"
#include "monitor/RecordingScan.h"
#include "platform/AudioCapture.h"
#include "platform/AudioEndpoints.h"
#include "runtime/DateTime.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quietmon {

struct CommandLine {
    enum class Mode {
        Monitor,
        Help,
        PrintConfig,
        CheckConfig,
        ListDevices,
        ListInstances,
        Scan,
        History,
        Version
    };
    Mode mode = Mode::Monitor;
    std::string settingsFile; // --settings-file, instead of the data folder's; empty: none given
    std::string instance;     // --instance, the named monitor every mode works for; empty: the unnamed one
    ScanOptions scan;         // for Mode::Scan
    std::optional<DateTime> historySince; // for Mode::History: --since, the start of that day
};

// What is wrong with a command line, in words for the person who typed it ("unknown option: --x").
struct CommandLineError {
    std::string message;
};

std::variant<CommandLine, CommandLineError> parseCommandLine(const std::vector<std::string>& arguments);
std::string usageText();

// A settings file named on the command line must be there: without this check a mistyped name would go
// unnoticed and the defaults would be used. A message naming the file and the system's reason, or empty
// when the file can be read.
std::string settingsFileFailure(const std::string& path);

// What the settings file (the data folder's, or `settingsFile` when not empty) would hold if the program
// started now and saved at once: both load steps, the start-up status and the settings applied at
// start-up, with "Use built-in MP3 player for .mp3 files" cleared unless `playerAvailable`. Writes nothing
// but may create the data folder, as a start does. Nothing, with the message in `failure`, for a settings
// file too large to read, which the monitor would neither read nor save over.
std::optional<std::string> startupSaveText(CaptureDriver& waveIn, AudioEndpoints& endpoints,
                                           const std::string& settingsFile, bool playerAvailable,
                                           std::string& failure);

// Reports what in the settings file (the data folder's, or `settingsFile` when not empty) will not do what
// its writer meant, a line each as "FILE:LINE: what", or one line saying that the file is fine. Writes
// nothing, not even the data folder. Returns the exit code: 0 fine, 1 warnings, 2 the file cannot be read
// (or is too large to be read).
int checkSettingsFile(const std::string& settingsFile, std::ostream& out, std::ostream& errors);

// The named monitors of this installation, a line each: the name, then "running" or "stopped", as their
// locks tell.
void listInstances(std::ostream& out);

// Why the named monitor cannot start on its folder (it cannot be made or written: settings and log would
// be lost), or empty when it can.
std::string instanceFolderFailure(const Folders& folders);

// Prints the alarm history kept in the data folder, one tab-separated line per alarm that began at
// `since` or later (all without it). Returns the exit code: 0, or 2 when the history cannot be read.
int printAlarmHistory(std::optional<DateTime> since, std::ostream& out, std::ostream& errors);

// The device selector's lines, as the Setup dialog will show them.
std::string deviceSelectorText(CaptureDriver& waveIn, AudioEndpoints& endpoints);

} // namespace quietmon
