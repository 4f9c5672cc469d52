#include "app/CommandLine.h"
#include "app/DisplayLossGuard.h"
#include "app/LinuxDesktop.h"
#include "app/MainWindow.h"
#include "app/QtEventLoop.h"
#include "app/QtMessageBoxes.h"
#include "app/SignalCloser.h"
#include "app/Startup.h"
#include "config/Folders.h"
#include "config/ProductName.h"
#include "monitor/LivenessHeartbeat.h"
#include "monitor/Monitor.h"
#include "platform/linux/AlsaCaptureDriver.h"
#include "platform/linux/FfmpegNetworkStreams.h"
#include "platform/linux/FfmpegRecordings.h"
#include "platform/linux/Mpg123Library.h"
#include "platform/linux/PulseAudioEndpoints.h"
#include "platform/linux/SingleInstance.h"
#include "platform/linux/SystemdNotifier.h"
#include "platform/linux/X11DesktopWindows.h"
#include "runtime/ProcessEnvironment.h"
#include "runtime/VirtualEventLoop.h"
#include "setup/PasswordDialog.h"
#include "setup/QtFileDialogs.h"
#include "setup/SetupDialog.h"
#include "setup/WindowChooser.h"
#include "status/StatusEndpoint.h"
#include "taskkinds/TaskKindWiring.h"

#include <QApplication>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Without an X display Qt's X11 plugin would abort the start; the offscreen platform runs the same program
// with nothing to show. A platform chosen in the environment other than X11's is left as it is.
void chooseOffscreenPlatform() {
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if (!chosen || std::string_view(chosen).empty() || std::string_view(chosen).starts_with("xcb"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

// The shown window repaints a few small regions at every buffer. Through X's shared memory each repaint
// also waits for the server's completion event on Qt's X event thread, a second wake-up per buffer for the
// program and more work for the server than sending those few pixels over the connection (measured: 13 %
// less CPU for the program, a quarter less for the X server, half the wake-ups). A choice made in the
// environment stays.
void sendWindowImagesOverTheConnection() {
    ::setenv("QT_XCB_NO_MITSHM", "1", 0);
}

int runMonitor(int argc, char** argv) {
    using namespace quietmon;
    const std::string& name = selectedInstance();
    std::unique_ptr<SingleInstanceLock> instance;
    if (acquireSingleInstance(programFolderOf(executablePath()), instance, name) ==
        InstanceCheck::AlreadyRunning)
        return 0; // one monitor per installation folder and name; a second start ends silently
    // The settings folder is locked by its real path too: a named monitor whose folder is another's through
    // a link would save over that monitor's settings. The unnamed monitor holds the lock when it can, and
    // starts as it always has when it cannot.
    const Folders folders = name.empty() ? currentFoldersAsTheyAre() : currentFolders();
    if (!name.empty()) {
        if (const std::string failure = instanceFolderFailure(folders); !failure.empty()) {
            std::cerr << failure << "\n";
            return 2;
        }
    }
    std::unique_ptr<SingleInstanceLock> settingsFolder;
    if (acquireFolderLock(folders.dataFolder, settingsFolder) == InstanceCheck::AlreadyRunning &&
        !name.empty()) {
        std::cerr
            << "quietmon: the folder of monitor \"" << name << "\", " << folders.dataFolder
            << ", is the folder of another monitor that is running (through a link); it is not started, so "
               "that the other's settings and log stay its own\n";
        return 2;
    }

    X11DesktopWindows windows;
    const bool withoutDisplay = !windows.displayAnswers();
    if (withoutDisplay)
        chooseOffscreenPlatform();
    // The logic's wake-ups ride on GLib's main context, which Qt's other event dispatcher never turns.
    ::unsetenv("QT_NO_GLIB");
    sendWindowImagesOverTheConnection();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(productNameText));
    // The tray icon keeps the program alive while its window is hidden.
    QApplication::setQuitOnLastWindowClosed(false);

    // Under systemd: ready once monitoring runs, alive for the unit's watchdog from the logic thread.
    SystemdNotifier service;
    QtEventLoop loop(service);
    LivenessHeartbeat heartbeat(loop, service);
    AlsaCaptureDriver waveIn(loop);
    PulseAudioEndpoints endpoints;
    FfmpegNetworkStreams streams(loop);
    Monitor monitor(loop, productName(), currentFolders, waveIn, endpoints, windows);
    monitor.offerNetworkStreams(streams);
    if (withoutDisplay)
        monitor.setWithoutDisplay();
    monitor.setSavesAlarmChanges(true);
    monitor.setKeepsHistory(true);
    LinuxDesktop desktop;
    QtMessageBoxes messages;

    MainWindow mainWindow(monitor, desktop, messages);
    messages.setOwner(&mainWindow);
    QtFileDialogs fileDialogs(&mainWindow);
    SetupDialog setup(monitor, mainWindow, messages, fileDialogs, desktop);
    WindowChooser windowChooser(windows, &mainWindow);
    setup.setWindowPicker(&windowChooser);
    // The task kinds over the Linux services, each set in the monitor for its queue rows.
    TaskKindWiring wiring{loop,
                          monitor,
                          messages,
                          windows,
                          service,
                          withoutDisplay,
                          &mainWindow,
                          [&mainWindow] { mainWindow.repaintNow(); },
                          [&mainWindow] { mainWindow.close(); }};
    const auto taskKinds = wireTaskKinds(wiring);
    PasswordDialog passwordDialog(&mainWindow);
    mainWindow.setDialogs(&setup, &passwordDialog);
    // Everything is wired: the start-up's steps, in their order, then the endpoint on the settings they
    // loaded.
    startUp(monitor, mainWindow, setup);
    SignalCloser closer([&mainWindow] { mainWindow.close(); });
    StatusEndpoint statusEndpoint(monitor);
    // Qt ends the process by itself when the X server goes away: the settings are saved on the way out.
    DisplayLossGuard displayLoss([&monitor] { monitor.closeAfterDisplayLoss(); });
    service.ready();
    const int status = QApplication::exec();
    service.stopping();
    return status;
}

} // namespace

int main(int argc, char** argv) {
    using namespace quietmon;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto parsed = parseCommandLine(arguments);
    if (const auto* error = std::get_if<CommandLineError>(&parsed)) {
        std::cerr << error->message << "\n\n" << usageText();
        return 2;
    }
    const CommandLine* commandLine = &std::get<CommandLine>(parsed);
    // From here on every folder the program looks for is the chosen monitor's.
    selectInstance(commandLine->instance);
    if (!commandLine->settingsFile.empty()) {
        if (const std::string failure = settingsFileFailure(commandLine->settingsFile); !failure.empty()) {
            std::cerr << failure << "\n";
            return 2;
        }
    }
    switch (commandLine->mode) {
    case CommandLine::Mode::Help:
        std::cout << usageText();
        return 0;
    case CommandLine::Mode::Version:
        std::cout << productName() << " " << productVersion << "\n";
        return 0;
    case CommandLine::Mode::ListInstances:
        listInstances(std::cout);
        return 0;
    case CommandLine::Mode::History:
        return printAlarmHistory(commandLine->historySince, std::cout, std::cerr);
    case CommandLine::Mode::CheckConfig:
        return checkSettingsFile(commandLine->settingsFile, std::cout, std::cerr);
    case CommandLine::Mode::PrintConfig:
    case CommandLine::Mode::ListDevices: {
        // Listing opens nothing, so no capture is ever posted to this loop.
        VirtualEventLoop unused;
        AlsaCaptureDriver waveIn(unused);
        PulseAudioEndpoints endpoints;
        if (commandLine->mode == CommandLine::Mode::ListDevices) {
            std::cout << deviceSelectorText(waveIn, endpoints);
            return 0;
        }
        // The player option stays as the monitor would keep it: only where the mp3 libraries work.
        Mpg123Library mp3Library;
        const bool playerAvailable = mp3Library.load() && mp3Library.initialise();
        std::string failure;
        const auto text =
            startupSaveText(waveIn, endpoints, commandLine->settingsFile, playerAvailable, failure);
        if (!text) {
            std::cerr << failure << "\n";
            return 2;
        }
        std::cout << *text;
        return 0;
    }
    case CommandLine::Mode::Scan: {
        ScanOptions scan = commandLine->scan;
        scan.settingsFile = commandLine->settingsFile;
        FfmpegRecordings decoder(FfmpegRecordings::processorCount());
        return runRecordingScan(scan, currentFolders, decoder, std::cout, std::cerr);
    }
    case CommandLine::Mode::Monitor:
        break;
    }
    try {
        return runMonitor(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
}
