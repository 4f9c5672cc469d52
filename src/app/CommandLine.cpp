#include "app/CommandLine.h"

#include "audio/AudioDeviceList.h"
#include "config/Folders.h"
#include "config/ProductName.h"
#include "config/SettingsStore.h"
#include "config/StartupRules.h"
#include "platform/linux/SystemClock.h"

namespace quietmon {

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    const auto setMode = [&line](CommandLine::Mode mode) {
        if (line.mode != CommandLine::Mode::Monitor)
            return false;
        line.mode = mode;
        return true;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        bool understood = true;
        if (argument == "--print-config")
            understood = setMode(CommandLine::Mode::PrintConfig);
        else if (argument == "--list-devices")
            understood = setMode(CommandLine::Mode::ListDevices);
        else if (argument == "--version")
            understood = setMode(CommandLine::Mode::Version);
        else if (argument == "--scan" && hasValue) {
            understood = setMode(CommandLine::Mode::Scan);
            line.scan.recording = arguments[++i];
        } else if (argument == "--levels")
            line.scan.levels = true;
        else if (argument == "--settings-file" && hasValue)
            line.scan.settingsFile = arguments[++i];
        else
            understood = false;
        if (!understood)
            return std::nullopt;
    }
    // The scan's own options mean nothing without a scan.
    const bool scanOptions = line.scan.levels || !line.scan.settingsFile.empty();
    if (scanOptions && line.mode != CommandLine::Mode::Scan)
        return std::nullopt;
    return line;
}

std::string usageText() {
    return "Usage: quietmon [OPTION]\n"
           "Watches a stereo audio input and raises an alarm when the programme goes silent.\n"
           "\n"
           "  (no option)      start the monitor\n"
           "  --print-config   print the settings file as the monitor would save it at start-up\n"
           "  --list-devices   print the audio inputs to choose from, as the Setup dialog lists them\n"
           "  --scan FILE.wav [--levels] [--settings-file INI]\n"
           "                   run the monitor over a 16-bit PCM recording and print, with offsets in\n"
           "                   seconds, when it would raise and end the alarm (and with --levels, the\n"
           "                   Left and Right dB of every 5512-frame buffer)\n"
           "  --version        print the version\n";
}

std::string deviceSelectorText(WaveInDriver& waveIn, AudioEndpoints& endpoints) {
    AudioDeviceList devices;
    devices.listAudioDevices(waveIn, endpoints);
    if (devices.lines().empty())
        devices.addDefaultLine();
    std::string text;
    for (const std::string& line : devices.lines())
        text += line + "\n";
    return text;
}

std::string startupSaveText(WaveInDriver& waveIn, AudioEndpoints& endpoints) {
    const std::string name = productName();
    const Folders folders = currentFolders();
    const SettingsFile file(folders.settingsFile());
    const IniFile stored = file.read();

    AudioDeviceList devices;
    devices.listAudioDevices(waveIn, endpoints);
    Settings settings = defaultSettings(name);
    loadWindowKeys(stored, settings);
    loadSetupKeys(stored, settings);
    devices.chooseStartupLine(settings.general);

    const StartupStatusEffect effect = startupStatusEffect(settings);
    settings.state.alarm = effect.alarmActive;
    settings.state.lastTask = effect.taskPosition;
    settings.state.repeats = effect.repeatCount;
    settings.state.rebooting = false;
    // Without the built-in mp3 player the option cannot stay on.
    settings.general.internalPlayer = false;
    fillEmptyNames(settings, name);
    settings.state.threshold = thresholdWithinSlider(settings.state.threshold, settings.general.minThreshold);

    return file.renderSave(settings, SystemClock().now());
}

} // namespace quietmon
