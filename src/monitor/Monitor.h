#pragma once

#include "audio/AudioInput.h"
#include "audio/LevelMeasurement.h"
#include "config/EventLog.h"
#include "config/Folders.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "config/StartupRules.h"
#include "monitor/AlarmEvidence.h"
#include "monitor/AlarmExecutor.h"
#include "monitor/AlarmHost.h"
#include "monitor/HistoryRecorder.h"
#include "monitor/ReturnExecutor.h"
#include "monitor/SilenceDetector.h"
#include "monitor/StatusBoard.h"
#include "platform/DesktopWindows.h"
#include "platform/MessageBoxes.h"
#include "runtime/EventLoop.h"
#include "tasks/StatusTexts.h"
#include "tasks/TaskLog.h"
#include "tasks/TaskServices.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace quietmon {

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
    virtual void showLastSilence(const std::string& text) = 0;
    virtual void updateTray() = 0;
    // The window's title follows "Title" (shown while it is typed).
    virtual void applyTitle() {}
    virtual void repaintNow() = 0;
    virtual void setAlarmTaskPagesEnabled(bool enabled) = 0;
    // Moments an observer may want to know of; the window has nothing more to do then.
    virtual void alarmActivated(const std::string& /*silentChannels*/) {}
    virtual void returnStarted() {}
};

// The state and the operations of the monitoring logic that the main window holds: the settings, the
// alarm state, the event log, the timers, the silence detection and both executors, and the settings
// file. Plain C++: the main window is its skin, and tests drive it in virtual time.
class Monitor final : private AlarmHost {
public:
    using FolderLocator = std::function<Folders()>;

    Monitor(EventLoop& loop, std::string productName, FolderLocator locateFolders, CaptureDriver& waveIn,
            AudioEndpoints& endpoints, DesktopWindows& windows);

    EventLoop& loop() { return m_loop; }
    Settings& settings() override { return m_settings; }
    const Settings& settings() const { return m_settings; }
    const std::string& productName() const { return m_productName; }
    const Folders& folders() const { return m_folders; }
    EventLog& log() { return m_log; }
    // The kinds of task this program has; the ones not set do nothing.
    TaskServices& tasks() { return m_tasks; }

    void setView(MonitorView* view) { m_view = view; }
    MonitorView* view() { return m_view; }
    // Whether the built-in mp3 player was created and initialised: set when the main window is created,
    // before the Setup dialog loads the settings. Until then there is none.
    bool playerAvailable() const { return m_playerAvailable; }
    // No X display answered at start-up: there is no window to show, and the window condition cannot be
    // checked, so it is not applied. Set before the start-up; logged once by finishStartUp.
    void setWithoutDisplay();
    bool withoutDisplay() const { return m_withoutDisplay; }
    void setPlayerAvailable(bool available) { m_playerAvailable = available; }
    // The steps of the start-up, which app/Startup runs in their order.
    // The task kinds' own start-up (the built-in mp3 player of the Open/Play tasks is made here; a
    // failure only leaves it unavailable).
    void startUpTasks();
    // The last exit step: the task kinds wind down (a playing file is let end and the player released).
    void windDownTasks();

    // The first: the alarm state reset, the start-up moment, the folders (the data folder is created if
    // missing) and the window's own keys of the settings file.
    void beginStartUp();
    // The audio devices are listed before the settings are read.
    void listAudioDevices() { m_audioInput.listAudioDevices(); }
    // Offers the "Network stream" input; before the devices are listed.
    void offerNetworkStreams(NetworkStreams& streams) { m_audioInput.offerNetworkStreams(streams); }
    // Every other key of the settings file. Without a built-in mp3 player, "Use built-in MP3 player for
    // .mp3 files" is cleared. A last silence kept from an earlier run is shown again.
    void loadSettings();
    // The stored device's line is selected, or line 0.
    void chooseAudioDevice() { m_audioInput.chooseStartupDevice(m_settings.general); }
    // Opens the event log if "Log events" is set.
    void openLog();
    // Opens the selected device, once per run; failures are logged.
    // An endpoint meter is opened for the pace at which it will be polled.
    void openAudioDevice() {
        m_audioInput.setPeakHoldTime(m_settings.general.peakHoldTime);
        m_audioInput.openSelectedAudioDevice(m_settings.general.audioInDevice);
    }
    // The start-up line, the event time and the start-up status: the last step.
    void finishStartUp();
    // The monitor's part of applying settings: countdown intervals and names that must not be empty.
    void applyPreferences();
    // Writes the whole settings file, with the current alarm and executor state.
    void saveSettings();
    // The running program also saves it when an alarm is raised and when it returns, so that a crash or a
    // killed process mid-alarm loses neither the alarm nor the queue position. Off for a recording scan,
    // which must never write the settings file.
    void setSavesAlarmChanges(bool saves) { m_savesAlarmChanges = saves; }
    // The running program keeps the level and alarm history in the data folder from the end of the
    // start-up; a recording scan keeps none.
    void setKeepsHistory(bool keeps) { m_keepsHistory = keeps; }
    // Where the level graph and the audio clip of the email tasks are made; without them none is attached.
    void setEvidenceMakers(LevelGraphDrawing* drawing, AudioClipEncoding* encoding) {
        m_evidence.setMakers(drawing, encoding);
    }
    // The attachments a "Send email" task of `queue` makes now beside its "Attach file", as its settings ask.
    std::vector<MimeAttachment> evidenceFor(const EmailSettings& settings, QueueKind queue);
    // Where the monitor leaves a snapshot of itself after each measurement and each change of state, for
    // the status endpoint; none by default.
    void setStatusBoard(StatusBoard* board);
    // The exit steps of the monitor: serial port closed, settings saved, "Exit" logged, log closed.
    void close();
    // The same steps when the X display went away and the process is ending on its own, with "X display
    // lost" as the last line of the log instead of "Exit".
    void closeAfterDisplayLoss();
    // The last exit step of the capture: a buffered capture is stopped.
    void stopCapture() { m_audioInput.stopAtExit(); }

    // The level measurement of one captured buffer (mode 0) or of the endpoint's peaks (mode 1), then the
    // silence detection.
    void onAudioRecorded(MeasureMode mode, std::span<const std::uint8_t> buffer, int size);
    AudioInput& audioInput() { return m_audioInput; }
    const MeasurementState& measurementState() const { return m_measurement; }
    const Measurement& lastMeasurement() const { return m_lastMeasurement; }

    // Every line of the event log passes here.
    void logEvent(const std::string& text) override;
    // The log the tasks write to: their lines go to logEvent(), and each failure is counted by its kind.
    TaskLog taskLog();
    void countTaskFailure(TaskKind kind);
    // Where every error that escapes a handler ends: one log line, and the program goes on.
    void reportApplicationError(const std::string& message);
    // The setup password gate: true when no password is set or the right one was typed.
    bool confirmSetupAccess(PasswordPrompt& prompt, MessageBoxes& messages);

    void setStatus(const std::string& text, StatusColour colour) override;
    const std::string& statusText() const { return m_statusText; }

    AlarmState& alarmState() override { return m_alarmState; }
    bool alarmActive() const { return m_alarmState.alarmActive; }
    const std::string& silentChannels() const { return m_alarmState.silentChannels; }
    DateTime eventTime() const { return m_alarmState.eventTime; }
    std::optional<int> taskPosition() const { return m_alarmState.taskPosition; }
    int repeatCount() const { return m_alarmState.repeatCount; }
    bool setupShown() const override { return m_setupShown; }
    bool inputLost() const override { return m_audioInput.inputLost(); }
    // Told to the status endpoint: an open Setup dialog holds every new alarm back.
    void setSetupShown(bool shown);
    bool rebooting() const { return m_rebooting; }
    void setRebooting(bool rebooting) { m_rebooting = rebooting; }
    StartupStatusEffect::Status startupStatus() const { return m_startupStatus; }

    Timer& silenceTimer() { return *m_silenceTimer; }
    Timer& returnTimer() { return *m_returnTimer; }
    Timer& alarmQueueTimer() { return *m_alarmQueueTimer; }
    Timer& endpointPollTimer() { return m_audioInput.endpointPollTimer(); }

private:
    // What the detection and the executors reach through AlarmHost.
    Clock& clock() override { return m_loop.clock(); }
    void updateTray() override;
    void repaintNow() override;
    // "No input" stands in the status line while the input is lost and no alarm is active.
    void showInputState(bool lost);
    void setAlarmTaskPagesEnabled(bool enabled) override;
    void showLastSilence(DateTime when) override;
    void alarmActivated() override;
    void returnStarted() override;
    void closeWithLastLine(const std::string& lastLine);
    void publishStatus();
    bool silentByChannelRule(const Measurement& measurement) const;
    void keepSound(std::span<const std::uint8_t> buffer, int size, bool silent);

    EventLoop& m_loop;
    std::string m_productName;
    FolderLocator m_locateFolders;
    Folders m_folders;
    Settings m_settings;
    SettingsFile m_settingsFile{""};
    IniFile m_storedSettings; // the file as read when the main window was created
    EventLog m_log;
    MonitorView* m_view = nullptr;

    std::string m_statusText = status_texts::alarmNotActive;
    AlarmState m_alarmState;
    bool m_setupShown = false;
    bool m_playerAvailable = false;
    bool m_rebooting = false;
    bool m_withoutDisplay = false;
    bool m_savesAlarmChanges = false;
    bool m_keepsHistory = false;
    // What the status endpoint reports beyond the state above.
    StatusBoard* m_statusBoard = nullptr;
    DateTime m_startedAt;
    // The last measurement with sound in each channel, from the start of the run, alarm or not; the
    // detection keeps its own by stricter rules (AlarmState's last counted sound).
    DateTime m_lastHeardLeft;
    DateTime m_lastHeardRight;
    std::string m_lastSilenceText;
    std::int64_t m_alarmsRaised = 0;
    std::map<std::string, std::int64_t> m_taskFailures;
    StartupStatusEffect::Status m_startupStatus = StartupStatusEffect::Status::AlarmNotActive;
    MeasurementState m_measurement;
    Measurement m_lastMeasurement;
    TaskServices m_tasks;
    HistoryRecorder m_history;
    AlarmEvidence m_evidence;
    std::vector<std::int16_t> m_soundFrames; // the last buffer as the audio clip takes it

    std::unique_ptr<Timer> m_silenceTimer;
    std::unique_ptr<Timer> m_returnTimer;
    std::unique_ptr<Timer> m_alarmQueueTimer;
    AlarmExecutor m_alarmExecutor;
    ReturnExecutor m_returnExecutor;
    SilenceDetector m_detector;
    AudioInput m_audioInput;
};

} // namespace quietmon
