#include "app/Startup.h"

#include "app/MainWindow.h"
#include "monitor/Monitor.h"
#include "setup/SetupDialog.h"

namespace quietmon {

void startUp(Monitor& monitor, MainWindow& window, SetupDialog& setup) {
    monitor.beginStartUp();
    window.showStoredPlacement();
    monitor.startUpTasks();
    monitor.listAudioDevices();
    monitor.loadSettings();
    window.applyTitle();
    window.updateTray();
    monitor.chooseAudioDevice();
    monitor.openLog();
    monitor.openAudioDevice();
    window.applySettings();
    monitor.finishStartUp();
    setup.buildPages();
    window.showOnceTheLoopRuns();
}

} // namespace quietmon
