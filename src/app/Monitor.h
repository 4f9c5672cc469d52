#pragma once

#include "audio/AudioInput.h"
#include "audio/LevelMeasurement.h"
#include "config/EventLog.h"
#include "config/Folders.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "config/StartupRules.h"
#include "platform/EventLoop.h"
#include "platform/MessageBoxes.h"

#include <functional>
#include <memory>
#include <string>

namespace quietmon {

enum class StatusColour { Normal, Alarm };

// One measurement as the main window shows it.
struct Measurement {
    bool valid = false;
    double meterLeft = 0.0; // linear levels as the meter takes them
    double meterRight = 0.0;
    int dbLeft = 0;
    int dbRight = 0;
    bool leftSilent = false;
    bool rightSilent = false;
};

// What the monitor shows: implemented by the main window.
class MonitorView {
public:
    virtual ~MonitorView() = default;
    virtual void showStatus(const std::string& text, StatusColour colour) = 0;
    virtual void showMeasurement(const Measurement& measurement) = 0;
};

// The state and the operations of the monitoring logic that the main window holds: the settings, the
// alarm state, the event log, the countdown timers and the settings file. Plain C++: the main window
// is its skin, and tests drive it in virtual time.
class Monitor {
public:
    using FolderLocator = std::function<Folders()>;

    Monitor(EventLoop& loop, std::string productName, FolderLocator locateFolders, WaveInDriver& waveIn,
            AudioEndpoints& endpoints);

    EventLoop& loop() { return m_loop; }
    Settings& settings() { return m_settings; }
    const Settings& settings() const { return m_settings; }
    const std::string& productName() const { return m_productName; }
    const Folders& folders() const { return m_folders; }
    EventLog& log() { return m_log; }

    void setView(MonitorView* view) { m_view = view; }

    // Main window creation: the alarm state reset, the start-up moment, the folders (the data folder is
    // created if missing) and the window's own keys of the settings file.
    void prepareMainWindow();
    // Setup creation: the audio devices are listed before the settings are read.
    void listAudioDevices() { m_audioInput.ListAudioDevices(); }
    // Setup creation: every other key of the settings file.
    void loadSetupSettings();
    // Setup creation: the stored device's line is selected, or line 0.
    void chooseAudioDevice() { m_audioInput.chooseStartupDevice(m_settings.general); }
    // Opens the selected device, once per run; failures are logged.
    void openAudioDevice() { m_audioInput.OpenSelectedAudioDevice(m_settings.general.audioInDevice); }
    // Opens the event log if "Log events" is set.
    void openLog();
    // The start-up line, the event time and the start-up status; called at the end of Setup creation.
    void finishStartUp();
    // The monitor's part of applying settings: countdown intervals and names that must not be empty.
    void applyPreferences();
    // Writes the whole settings file, with the current alarm and executor state.
    void SaveCfg();
    // The exit steps of the monitor: settings saved, "Exit" logged, log closed.
    void close();
    // The last exit step of the capture: a wave-in capture is stopped.
    void stopCapture() { m_audioInput.stopAtExit(); }

    // The level measurement of one wave-in buffer (mode 0) or of the endpoint's peaks (mode 1).
    void deAudioIn1AudioRecorded(MeasureMode mode, std::span<const std::uint8_t> buffer, int size);
    AudioInput& audioInput() { return m_audioInput; }
    const MeasurementState& measurementState() const { return m_measurement; }
    const Measurement& lastMeasurement() const { return m_lastMeasurement; }

    void LogniText(const std::string& text) { m_log.LogniText(text); }
    // Where every error that escapes a handler ends: one log line, and the program goes on.
    void AppException(const std::string& message);
    // The setup password gate: true when no password is set or the right one was typed.
    bool Auth(PasswordPrompt& prompt, MessageBoxes& messages);

    void setStatus(const std::string& text, StatusColour colour);
    const std::string& statusText() const { return m_statusText; }

    // Alarm state.
    bool alarmActive() const { return m_alarmActive; }
    const std::string& silentChannels() const { return m_silentChannels; }
    DateTime startUpTime() const { return m_startUpTime; }
    DateTime eventTime() const { return m_eventTime; }
    int taskPosition() const { return m_taskPosition; }
    int repeatCount() const { return m_repeatCount; }
    bool setupShown() const { return m_setupShown; }
    void setSetupShown(bool shown) { m_setupShown = shown; }
    bool rebooting() const { return m_rebooting; }
    // Whether the saved state asked for the alarm queue to go on after the program's own reboot.
    StartupStatusEffect::Status startupStatus() const { return m_startupStatus; }

    Timer& Timer1() { return *m_timer1; }
    Timer& Timer2() { return *m_timer2; }
    Timer& Timer7() { return m_audioInput.Timer7(); }

private:
    EventLoop& m_loop;
    std::string m_productName;
    FolderLocator m_locateFolders;
    Folders m_folders;
    Settings m_settings;
    SettingsFile m_settingsFile{""};
    EventLog m_log;
    MonitorView* m_view = nullptr;

    std::string m_statusText = "Alarm not active";
    bool m_alarmActive = false;
    std::string m_silentChannels = "Unknown";
    DateTime m_startUpTime;
    DateTime m_eventTime;
    int m_taskPosition = 999;
    int m_repeatCount = 99999;
    bool m_setupShown = false;
    bool m_rebooting = false;
    StartupStatusEffect::Status m_startupStatus = StartupStatusEffect::Status::AlarmNotActive;

    MeasurementState m_measurement;
    Measurement m_lastMeasurement;
    std::unique_ptr<Timer> m_timer1; // silence countdown
    std::unique_ptr<Timer> m_timer2; // return countdown
    AudioInput m_audioInput;
};

} // namespace quietmon
