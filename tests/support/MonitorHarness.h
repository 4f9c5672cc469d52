#pragma once

#include "config/Folders.h"
#include "fakes/FakeAudio.h"
#include "fakes/FakeDesktopWindows.h"
#include "monitor/Monitor.h"
#include "runtime/VirtualEventLoop.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <string>

namespace quietmon::test {

// A monitor in virtual time whose data folder is a temporary folder, with the product's real name.
struct MonitorHarness {
    MonitorHarness() {
        std::filesystem::create_directories(dataFolder);
        std::filesystem::create_directories(programFolder);
    }
    // Tasks and file dialogs make the program folder the current one; it goes with the temporary folder.
    ~MonitorHarness() { std::filesystem::current_path(startFolder); }

    // Writes the settings file the next start reads.
    void writeSettings(const std::string& text) const { writeWholeFile(dataFolder + "/quietmon.ini", text); }
    std::string settingsText() const { return readWholeFile(dataFolder + "/quietmon.ini"); }
    std::string logText() const { return readWholeFile(dataFolder + "/quietmon.log"); }
    // The monitor's start-up steps, in the program's order, as the main window and the Setup dialog
    // run them.
    void startUp() {
        monitor.beginStartUp();
        monitor.startUpTasks();
        monitor.listAudioDevices();
        monitor.loadSettings();
        monitor.chooseAudioDevice();
        monitor.openLog();
        monitor.openAudioDevice();
        monitor.applyPreferences();
        monitor.finishStartUp();
    }

    std::filesystem::path startFolder = std::filesystem::current_path();
    TempFolder temp;
    std::string dataFolder = temp.file("data/quietmon");
    std::string programFolder = temp.file("program") + "/";
    std::string instanceName; // a named monitor's; empty: the unnamed one
    VirtualEventLoop loop{DateTime::fromParts(2026, 3, 14, 7, 5, 9)};
    FakeCaptureDriver waveIn{loop};
    FakeAudioEndpoints endpoints;
    FakeDesktopWindows windows;
    Monitor monitor{loop,   "Orvane Silence Detector", [this] { return dataFolders(); }, waveIn, endpoints,
                    windows};

private:
    Folders dataFolders() const { return {programFolder, dataFolder + "/", {}, instanceName}; }
};

} // namespace quietmon::test
