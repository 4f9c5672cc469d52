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
    for (const std::string& argument : arguments) {
        if (argument == "--print-config" && line.mode == CommandLine::Mode::Monitor)
            line.mode = CommandLine::Mode::PrintConfig;
        else if (argument == "--list-devices" && line.mode == CommandLine::Mode::Monitor)
            line.mode = CommandLine::Mode::ListDevices;
        else if (argument == "--version" && line.mode == CommandLine::Mode::Monitor)
            line.mode = CommandLine::Mode::Version;
        else
            return std::nullopt;
    }
    return line;
}

std::string usageText() {
    return "Usage: quietmon [OPTION]\n"
           "Watches a stereo audio input and raises an alarm when the programme goes silent.\n"
           "\n"
           "  (no option)      start the monitor\n"
           "  --print-config   print the settings file as the monitor would save it at start-up\n"
           "  --list-devices   print the audio inputs to choose from, as the Setup dialog lists them\n"
           "  --version        print the version\n";
}

std::string deviceSelectorText(WaveInDriver& waveIn, AudioEndpoints& endpoints) {
    AudioDeviceList devices;
    devices.ListAudioDevices(waveIn, endpoints);
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
    devices.ListAudioDevices(waveIn, endpoints);
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
