#include "app/CommandLine.h"

#include "audio/AudioDeviceList.h"
#include "config/Folders.h"
#include "config/IniValues.h"
#include "config/ProductName.h"
#include "config/SettingsCheck.h"
#include "config/SettingsStore.h"
#include "config/StartupRules.h"
#include "monitor/AlarmHistory.h"
#include "monitor/HistoryRecorder.h"
#include "platform/linux/SingleInstance.h"
#include "runtime/FileSystem.h"
#include "runtime/SystemClock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <unistd.h>
#include <utility>

namespace quietmon {

namespace {

// The options that choose what the program does; at most one of them per command line.
std::optional<CommandLine::Mode> modeOption(const std::string& argument) {
    using Mode = CommandLine::Mode;
    static const std::pair<const char*, Mode> options[] = {
        {"--help", Mode::Help},
        {"--print-config", Mode::PrintConfig},
        {"--check-config", Mode::CheckConfig},
        {"--list-devices", Mode::ListDevices},
        {"--list-instances", Mode::ListInstances},
        {"--scan", Mode::Scan},
        {"--history", Mode::History},
        {"--version", Mode::Version},
    };
    for (const auto& [option, mode] : options) {
        if (argument == option)
            return mode;
    }
    return std::nullopt;
}

} // namespace

std::variant<CommandLine, CommandLineError> parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    std::string chosenBy; // the option that chose the mode, to name it when another one follows
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        // An option where the value should be means the value was left out.
        const auto takeValue = [&]() -> std::optional<std::string> {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty() || arguments[i + 1].starts_with("--"))
                return std::nullopt;
            return arguments[++i];
        };
        if (const auto mode = modeOption(argument)) {
            if (!chosenBy.empty())
                return CommandLineError{chosenBy == argument
                                            ? argument + " is given twice"
                                            : chosenBy + " and " + argument + " cannot be used together"};
            line.mode = *mode;
            chosenBy = argument;
            if (*mode == CommandLine::Mode::Scan) {
                const auto recording = takeValue();
                if (!recording)
                    return CommandLineError{"--scan needs the recording to scan: --scan FILE"};
                line.scan.recording = *recording;
            }
        } else if (argument == "--since") {
            if (line.historySince)
                return CommandLineError{"--since is given twice"};
            const auto date = takeValue();
            line.historySince = date ? parseIniDateTime(*date + " 00:00:00") : std::nullopt;
            if (!line.historySince)
                return CommandLineError{"--since needs the first day to list: --since YYYY-MM-DD"};
        } else if (argument == "--levels") {
            line.scan.levels = true;
        } else if (argument == "--settings-file") {
            if (!line.settingsFile.empty())
                return CommandLineError{"--settings-file is given twice"};
            const auto file = takeValue();
            if (!file)
                return CommandLineError{"--settings-file needs the file to use: --settings-file INI"};
            line.settingsFile = *file;
        } else if (argument == "--instance") {
            if (!line.instance.empty())
                return CommandLineError{"--instance is given twice"};
            const auto name = takeValue();
            if (!name)
                return CommandLineError{"--instance needs the monitor's name: --instance NAME"};
            if (const std::string failure = instanceNameFailure(*name); !failure.empty())
                return CommandLineError{"--instance: " + failure};
            line.instance = *name;
        } else if (argument.starts_with("-")) {
            return CommandLineError{"unknown option: " + argument};
        } else {
            return CommandLineError{"unexpected argument: " + argument};
        }
    }
    // The scan's own options mean nothing without a scan.
    if (line.mode != CommandLine::Mode::Scan) {
        if (line.scan.levels)
            return CommandLineError{"--levels goes only with --scan"};
    }
    if (!line.instance.empty() && line.mode == CommandLine::Mode::ListInstances)
        return CommandLineError{"--list-instances lists every monitor: it takes no --instance"};
    if (line.historySince && line.mode != CommandLine::Mode::History)
        return CommandLineError{"--since goes only with --history"};
    const bool readsSettingsFile = line.mode == CommandLine::Mode::Scan ||
                                   line.mode == CommandLine::Mode::PrintConfig ||
                                   line.mode == CommandLine::Mode::CheckConfig;
    if (!line.settingsFile.empty() && !readsSettingsFile)
        return CommandLineError{"--settings-file goes only with --scan, --print-config or --check-config"};
    return line;
}

std::string usageText() {
    return "Usage: quietmon [--instance NAME] [OPTION]\n"
           "Watches a stereo audio input and raises an alarm when the programme goes silent.\n"
           "\n"
           "  (no option)      start the monitor\n"
           "  --instance NAME  a named monitor, one of several on this computer: its settings file, log and\n"
           "                   the rest of its data in a folder of its own (instances/NAME in the data\n"
           "                   folder), one start per name. Every option below works on that monitor.\n"
           "                   NAME: 1 to 32 letters, digits, \"-\" and \"_\"\n"
           "  --list-instances print each named monitor, and whether it is running\n"
           "  --print-config [--settings-file INI]\n"
           "                   print the settings file as the monitor would save it if it started now\n"
           "                   (with INI as its settings file), without writing it\n"
           "  --check-config [--settings-file INI]\n"
           "                   list, as FILE:LINE: what, the lines of the settings file that will not do\n"
           "                   what their writer meant: unknown names, values that do not parse or are\n"
           "                   out of range, task rows that name no task, repeated keys and sections,\n"
           "                   passwords not in scrambled form; writes nothing. Exit code 0 when the\n"
           "                   file is fine, 1 with warnings, 2 when it cannot be read\n"
           "  --list-devices   print the audio inputs to choose from, as the Setup dialog lists them\n"
           "  --scan FILE [--levels] [--settings-file INI]\n"
           "                   run the monitor over a recording (WAV, MP3, FLAC, Ogg, AAC/M4A, or what\n"
           "                   else FFmpeg decodes) and print, with offsets in seconds, when it would\n"
           "                   raise and end the alarm (and with --levels, the Left and Right dB of\n"
           "                   every 5512-frame buffer); then one line on standard error with the\n"
           "                   settings used and the alarms found:\n"
           "                   scan: silence 300 s, return 1 s, threshold -25 dB, in both channels; 2 "
           "alarms\n"
           "  --history [--since YYYY-MM-DD]\n"
           "                   print the alarms kept in the data folder (since that day), a line each:\n"
           "                   start, end, silent channels, duration in seconds, input lost (yes or\n"
           "                   no), separated by tabs; end and duration are empty while an alarm lasts\n"
           "  --version        print the version\n"
           "  --help           print this help\n";
}

void listInstances(std::ostream& out) {
    const Folders folders = currentFoldersAsTheyAre();
    std::vector<std::string> names = folderEntries(instancesFolder(folders.dataFolder));
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        // Only a folder of a name --instance takes is a monitor's; anything else put there is not.
        if (!instanceNameFailure(name).empty() || !folderExists(instancesFolder(folders.dataFolder) + name))
            continue;
        out << name << (instanceRuns(folders.programFolder, name) ? " running\n" : " stopped\n");
    }
}

std::string instanceFolderFailure(const Folders& folders) {
    if (::access(folders.dataFolder.c_str(), W_OK | X_OK) == 0)
        return {};
    const int reason = errno;
    return "quietmon: the folder of monitor \"" + folders.instanceName + "\", " + folders.dataFolder +
           ", cannot be written (" + std::strerror(reason) + "); it is not started, so that nothing is lost";
}

int printAlarmHistory(std::optional<DateTime> since, std::ostream& out, std::ostream& errors) {
    const std::string path = HistoryRecorder::alarmHistoryPath(currentFoldersAsTheyAre().dataFolder);
    std::string failure;
    const std::vector<AlarmRecord> records = readAlarmHistory(path, failure);
    if (!failure.empty()) {
        errors << "quietmon: cannot read the alarm history " << path << ": " << failure << "\n";
        return 2;
    }
    out << alarmHistoryTable(records, since);
    return 0;
}

std::string deviceSelectorText(CaptureDriver& waveIn, AudioEndpoints& endpoints) {
    AudioDeviceList devices;
    devices.listAudioDevices(waveIn, endpoints, true);
    if (devices.lines().empty())
        devices.addDefaultLine();
    std::string text;
    for (const std::string& line : devices.lines())
        text += line + "\n";
    return text;
}

namespace {

std::string unreadableSettingsFile(const std::string& path, const std::string& failure) {
    return "quietmon: cannot read settings file " + path + ": " + failure;
}

} // namespace

std::string settingsFileFailure(const std::string& path) {
    std::string failure;
    SettingsFile(path).readRequired(failure);
    return failure.empty() ? std::string() : unreadableSettingsFile(path, failure);
}

int checkSettingsFile(const std::string& settingsFile, std::ostream& out, std::ostream& errors) {
    const std::string path = settingsFile.empty() ? currentFoldersAsTheyAre().settingsFile() : settingsFile;
    std::string failure;
    const auto file = SettingsFile(path).readRequired(failure);
    if (!file) {
        errors << unreadableSettingsFile(path, failure) << '\n';
        return 2;
    }
    const SettingsCheck check(*file);
    for (const SettingsWarning& warning : check.warnings())
        out << path << ':' << warning.line << ": " << warning.message << '\n';
    if (check.warnings().empty())
        out << path << ": no problems found\n";
    return check.warnings().empty() ? 0 : 1;
}

std::optional<std::string> startupSaveText(CaptureDriver& waveIn, AudioEndpoints& endpoints,
                                           const std::string& settingsFile, bool playerAvailable,
                                           std::string& failure) {
    const std::string name = productName();
    // Made absolute first: creating the data folder changes the current folder.
    std::error_code ignored;
    const std::string settingsFileOverride =
        settingsFile.empty() ? std::string() : std::filesystem::absolute(settingsFile, ignored).string();
    Folders folders = currentFolders();
    folders.settingsFileOverride = settingsFileOverride;
    SettingsFile file(folders.settingsFile());
    const IniFile stored = file.load();
    if (!file.refusal().empty()) {
        failure = unreadableSettingsFile(file.path(), file.refusal());
        return std::nullopt;
    }

    AudioDeviceList devices;
    devices.listAudioDevices(waveIn, endpoints, true);
    Settings settings = defaultSettings(name, folders.instanceName);
    loadWindowKeys(stored, settings);
    loadSetupKeys(stored, settings);
    devices.chooseStartupLine(settings.general);

    const StartupStatusEffect effect = startupStatusEffect(settings);
    settings.state.alarmActive = effect.alarmActive;
    settings.state.lastTask = effect.taskPosition;
    settings.state.repeatCount = effect.repeatCount;
    settings.state.rebooting = false;
    clearUnavailablePlayerOption(settings.general, playerAvailable);
    fillEmptyNames(settings, name);
    settings.state.threshold = thresholdWithinSlider(settings.state.threshold, settings.general.minThreshold);

    return file.renderSave(settings, SystemClock().now());
}

} // namespace quietmon
