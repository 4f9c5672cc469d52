#include "monitor/Monitor.h"

#include "config/ProductName.h"
#include "tasks/StatusTexts.h"

#include <bit>
#include <cstring>

namespace quietmon {

Monitor::Monitor(EventLoop& loop, std::string productName, FolderLocator locateFolders, CaptureDriver& waveIn,
                 AudioEndpoints& endpoints, DesktopWindows& windows)
    : m_loop(loop), m_productName(std::move(productName)), m_locateFolders(std::move(locateFolders)),
      m_settings(defaultSettings(m_productName)), m_log(loop.clock()),
      m_history(loop, [this](const std::string& text) { logEvent(text); }),
      m_evidence([this](const std::string& text) { logEvent(text); }),
      m_silenceTimer(loop.createTimer([this] { m_detector.onSilenceTimer(); })),
      m_returnTimer(loop.createTimer([this] { m_returnExecutor.onReturnTimer(); })),
      m_alarmQueueTimer(loop.createTimer([this] { m_alarmExecutor.onAlarmQueueTimer(); })),
      m_alarmExecutor(*this, *m_alarmQueueTimer, m_tasks),
      m_returnExecutor(*this, *m_silenceTimer, *m_returnTimer, m_alarmExecutor, m_tasks),
      m_detector(*this, windows, *m_silenceTimer, *m_returnTimer, m_alarmExecutor),
      m_audioInput(
          loop, waveIn, endpoints, [this](const std::string& text) { logEvent(text); },
          [this](MeasureMode mode, std::span<const std::uint8_t> buffer, int size) {
              onAudioRecorded(mode, buffer, size);
          }) {
    m_loop.setErrorHandler([this](const std::string& message) { reportApplicationError(message); });
    m_audioInput.setOnStreamTitleChanged([this] {
        m_alarmState.streamTitle = m_audioInput.streamTitle();
        publishStatus();
    });
}

void Monitor::beginStartUp() {
    m_alarmState.silentChannels = "Unknown";
    m_rebooting = false;
    m_startedAt = m_lastHeardLeft = m_lastHeardRight = m_loop.clock().now();
    m_alarmState.startUpDelay.start(m_startedAt);
    m_alarmState.alarmActive = false;
    m_folders = m_locateFolders();
    m_settings.general.title = defaultTitleSetting(m_productName, m_folders.instanceName);
    m_settingsFile.setPath(m_folders.settingsFile());
    m_storedSettings = m_settingsFile.load();
    loadWindowKeys(m_storedSettings, m_settings);
}

void Monitor::startUpTasks() {
    TaskStartUpOutcome outcome;
    for (QueueTask* task : m_tasks.distinct())
        task->startUp(outcome);
    if (outcome.builtInPlayerAvailable) // a program without the Open/Play tasks has no player to create
        m_playerAvailable = *outcome.builtInPlayerAvailable;
}

void Monitor::windDownTasks() {
    for (QueueTask* task : m_tasks.distinct())
        task->windDown();
}

void Monitor::loadSettings() {
    loadSetupKeys(m_storedSettings, m_settings);
    clearUnavailablePlayerOption(m_settings.general, m_playerAvailable);
    m_storedSettings = IniFile(); // read once at start-up, never needed again
    m_alarmState.taskPosition = m_settings.state.lastTask;
    m_alarmState.repeatCount = m_settings.state.repeatCount;
    // The last alarm of an earlier run is shown again, as it was before the restart.
    if (!m_settings.state.lastSilence.isZero())
        showLastSilence(m_settings.state.lastSilence);
}

void Monitor::openLog() {
    // A refused settings file leaves "Log events" at its default, off: the log is opened all the same, so
    // that the refusal is on record where the operator looks for what happened to the settings.
    const std::string& refusal = m_settingsFile.refusal();
    if (m_settings.general.logEvents || !refusal.empty())
        m_log.open(m_folders.logFile());
    if (!refusal.empty())
        logEvent("Settings file not read - " + refusal +
                 "; the defaults are used and the file is left as it is");
}

void Monitor::setWithoutDisplay() {
    m_withoutDisplay = true;
    m_detector.setWindowConditionCheckable(false);
}

void Monitor::finishStartUp() {
    logEvent(m_productName + " v. " + productVersion + " starting up...");
    if (m_withoutDisplay)
        logEvent("Running without a display");
    m_alarmState.eventTime = m_loop.clock().now();

    const StartupStatusEffect effect = startupStatusEffect(m_settings);
    m_startupStatus = effect.status;
    m_alarmState.taskPosition = effect.taskPosition;
    m_alarmState.repeatCount = effect.repeatCount;
    using Status = StartupStatusEffect::Status;
    switch (effect.status) {
    case Status::Unchanged:
    case Status::AlarmNotActive:
        break;
    case Status::Silence:
        setStatus(status_texts::silence, StatusColour::Alarm);
        m_alarmState.runningAlarmQueue.clear();
        m_alarmState.alarmActive = true;
        break;
    case Status::ResumeQueue:
        // The queue interrupted by the program's own reboot goes on after the start-up delay.
        m_alarmState.alarmActive = true;
        setStatus(status_texts::silenceResuming, StatusColour::Alarm);
        m_alarmExecutor.resume();
        break;
    }
    if (m_keepsHistory)
        m_history.start(m_folders.dataFolder);
}

void Monitor::applyPreferences() {
    m_silenceTimer->setInterval(m_settings.activation.silenceSeconds * 1000 + 1);
    m_returnTimer->setInterval(m_settings.activation.returnSeconds * 1000 + 1);
    m_audioInput.setPeakHoldTime(m_settings.general.peakHoldTime);
    fillEmptyNames(m_settings, m_productName);
}

void Monitor::saveSettings() {
    // The data folder is found (and made) again at every save, in case it was removed meanwhile.
    m_folders.dataFolder = m_locateFolders().dataFolder;
    m_settingsFile.setPath(m_folders.settingsFile());
    m_settings.state.alarmActive = m_alarmState.alarmActive;
    m_settings.state.lastTask = m_alarmState.taskPosition;
    m_settings.state.repeatCount = m_alarmState.repeatCount;
    m_settings.state.rebooting = m_rebooting;
    // The settings stay in memory whatever happens to the file, and the old file stays whole.
    const SettingsFile::SaveOutcome outcome = m_settingsFile.save(m_settings, m_loop.clock().now());
    if (!outcome.editedCopy.empty())
        logEvent("Settings file changed while running; the edited copy was kept as " + outcome.editedCopy);
    else if (outcome.editedCopyFailed)
        logEvent(
            "Settings file changed while running; no copy of it could be kept, so it was not saved over");
    if (!outcome.saved && !outcome.failure.empty())
        logEvent("Settings not saved - " + outcome.failure);
}

void Monitor::close() {
    closeWithLastLine("Exit");
}

void Monitor::closeAfterDisplayLoss() {
    closeWithLastLine("X display lost");
}

void Monitor::closeWithLastLine(const std::string& lastLine) {
    for (QueueTask* task : m_tasks.distinct())
        task->atClose();
    m_history.stop();
    saveSettings();
    logEvent(lastLine);
    m_log.close();
}

void Monitor::onAudioRecorded(MeasureMode mode, std::span<const std::uint8_t> buffer, int size) {
    const DateTime now = m_loop.clock().now();
    std::optional<Levels> levels;
    if (mode == MeasureMode::CapturedBuffer) {
        m_audioInput.bufferReachedMeasurement(now);
        levels = measureBuffer(m_measurement, buffer, size, m_settings.general.peakHoldTime,
                               m_settings.general.dcFilter);
        if (!levels)
            return;
    } else if (mode == MeasureMode::EndpointPeaks) {
        levels = measureEndpointPeaks(m_audioInput.endpointPeakLeft(), m_audioInput.endpointPeakRight());
    } else {
        levels = measureEndpointPeaks(0.0f, 0.0f); // nothing heard: digital silence on both channels
    }
    showInputState(mode == MeasureMode::InputLost);
    Measurement shown;
    shown.valid = true;
    shown.meterLeft = levels->left * 1.2;
    shown.meterRight = levels->right * 1.2;
    shown.dbLeft = levels->dbLeft;
    shown.dbRight = levels->dbRight;
    // Strictly below: a level that reads exactly the threshold is sound.
    const int threshold = -m_settings.state.threshold;
    shown.leftSilent = levels->dbLeft < threshold;
    shown.rightSilent = levels->dbRight < threshold;
    if (m_view)
        m_view->showMeasurement(shown);
    m_lastMeasurement = shown;
    if (!shown.leftSilent)
        m_lastHeardLeft = now;
    if (!shown.rightSilent)
        m_lastHeardRight = now;
    m_detector.detect(now, shown.leftSilent, shown.rightSilent);
    m_history.onMeasurement(now, shown.dbLeft, shown.dbRight, m_alarmState.alarmActive,
                            mode == MeasureMode::InputLost);
    const bool silent = silentByChannelRule(shown);
    m_evidence.onMeasurement(now, silent);
    if (mode == MeasureMode::CapturedBuffer)
        keepSound(buffer, size, silent);
    publishStatus();
}

bool Monitor::silentByChannelRule(const Measurement& measurement) const {
    switch (m_settings.activation.channels.value_or(ChannelRule::BothChannels)) {
    case ChannelRule::BothChannels:
        return measurement.leftSilent && measurement.rightSilent;
    case ChannelRule::AnyChannel:
        return measurement.leftSilent || measurement.rightSilent;
    case ChannelRule::LeftChannel:
        return measurement.leftSilent;
    case ChannelRule::RightChannel:
        return measurement.rightSilent;
    }
    return false;
}

// The captured buffer as 16-bit stereo frames, for the audio clip of the email tasks.
void Monitor::keepSound(std::span<const std::uint8_t> buffer, int size, bool silent) {
    const BufferedCapture& capture = m_audioInput.waveInCapture();
    const std::size_t channels = capture.stereo() ? 2 : 1;
    const std::size_t bytesPerSample = capture.quantization() == 8 ? 1 : 2;
    const std::size_t bytes = std::min(buffer.size(), static_cast<std::size_t>(std::max(size, 0)));
    const std::size_t frameCount = bytes / (channels * bytesPerSample);
    m_soundFrames.resize(frameCount * 2);
    if (std::endian::native == std::endian::little && channels == 2 && bytesPerSample == 2) {
        std::memcpy(m_soundFrames.data(), buffer.data(), frameCount * 4); // already what the clip keeps
    } else {
        for (std::size_t sample = 0; sample < frameCount * 2; ++sample) {
            const std::size_t at =
                (sample / 2 * channels + (channels == 2 ? sample % 2 : 0)) * bytesPerSample;
            m_soundFrames[sample] = bytesPerSample == 2
                                        ? static_cast<std::int16_t>(buffer[at] | (buffer[at + 1] << 8))
                                        : static_cast<std::int16_t>((buffer[at] - 128) * 256);
        }
    }
    m_evidence.onSound(m_soundFrames, capture.frameRate(), silent);
}

std::vector<MimeAttachment> Monitor::evidenceFor(const EmailSettings& settings, QueueKind queue) {
    AlarmEvidence::Picture picture;
    picture.recentSeconds = m_history.recentSeconds();
    picture.thresholdDb = -m_settings.state.threshold;
    picture.leftName = m_settings.general.leftName;
    picture.rightName = m_settings.general.rightName;
    picture.title = m_settings.general.title;
    return m_evidence.attachments(settings, queue, m_loop.clock().now(), picture);
}

void Monitor::showInputState(bool lost) {
    const bool showingNoInput = m_statusText == status_texts::noInput;
    if (lost == showingNoInput)
        return;
    if (lost && (m_alarmState.alarmActive || m_statusText != status_texts::alarmNotActive))
        return; // the alarm's own status says more
    setStatus(lost ? status_texts::noInput : status_texts::alarmNotActive,
              lost ? StatusColour::Alarm : StatusColour::Normal);
    updateTray();
}

void Monitor::logEvent(const std::string& text) {
    m_log.logEvent(text);
}

TaskLog Monitor::taskLog() {
    return TaskLog([this](const std::string& text) { logEvent(text); },
                   [this](TaskKind kind) { countTaskFailure(kind); });
}

void Monitor::countTaskFailure(TaskKind kind) {
    ++m_taskFailures[std::string(captionOf(kind))];
    publishStatus();
}

void Monitor::setStatusBoard(StatusBoard* board) {
    m_statusBoard = board;
    publishStatus();
}

void Monitor::setSetupShown(bool shown) {
    if (shown == m_setupShown)
        return;
    m_setupShown = shown;
    publishStatus();
}

void Monitor::publishStatus() {
    if (!m_statusBoard)
        return;
    StatusSnapshot snapshot;
    if (!m_folders.instanceName.empty())
        snapshot.monitor = m_folders.instanceName;
    snapshot.version = productVersion;
    snapshot.title = m_settings.general.title;
    snapshot.input = m_audioInput.openedDeviceLine();
    snapshot.startedAt = m_startedAt;
    snapshot.channels = {
        ChannelStatus{"left", m_settings.general.leftName, m_lastMeasurement.dbLeft, m_lastHeardLeft},
        ChannelStatus{"right", m_settings.general.rightName, m_lastMeasurement.dbRight, m_lastHeardRight}};
    snapshot.thresholdDb = -m_settings.state.threshold;
    snapshot.alarmActive = m_alarmState.alarmActive;
    snapshot.inputLost = m_audioInput.inputLost();
    snapshot.streamTitle = m_audioInput.streamTitle();
    snapshot.setupOpen = m_setupShown;
    snapshot.alarmsRaised = m_alarmsRaised;
    for (const TaskKindEntry& kind : taskKinds) {
        if (kind.failuresListedFromStart)
            snapshot.taskFailures[std::string(kind.caption)] = 0;
    }
    for (const auto& [task, count] : m_taskFailures)
        snapshot.taskFailures[task] = count;
    snapshot.statusText = m_statusText;
    snapshot.lastSilence = m_lastSilenceText;
    snapshot.lastSilenceAt = m_settings.state.lastSilence;
    m_statusBoard->publish(std::move(snapshot));
}

void Monitor::reportApplicationError(const std::string& message) {
    logEvent("Application Error - " + message);
}

bool Monitor::confirmSetupAccess(PasswordPrompt& prompt, MessageBoxes& messages) {
    const std::string& password = m_settings.general.setupPassword;
    if (password.empty())
        return true;
    const auto typed = prompt.askPassword();
    if (!typed)
        return false;
    if (*typed != password) {
        messages.inform("Invalid password!");
        return false;
    }
    return true;
}

void Monitor::setStatus(const std::string& text, StatusColour colour) {
    const bool changed = text != m_statusText;
    m_statusText = text;
    if (m_view)
        m_view->showStatus(text, colour);
    if (changed)
        publishStatus();
}

void Monitor::updateTray() {
    if (m_view)
        m_view->updateTray();
}

void Monitor::repaintNow() {
    if (m_view)
        m_view->repaintNow();
}

void Monitor::setAlarmTaskPagesEnabled(bool enabled) {
    if (m_view)
        m_view->setAlarmTaskPagesEnabled(enabled);
}

void Monitor::showLastSilence(DateTime when) {
    m_settings.state.lastSilence = when; // saved with the alarm, so that a restart still knows it
    m_lastSilenceText = "Last silence: " + when.formatDayMonth() + " " + when.formatShortTime();
    if (m_view)
        m_view->showLastSilence(m_lastSilenceText);
}

void Monitor::alarmActivated() {
    ++m_alarmsRaised;
    m_history.alarmRaised(m_alarmState.eventTime, m_alarmState.silentChannels, inputLost());
    publishStatus();
    if (m_savesAlarmChanges)
        saveSettings();
    if (m_view)
        m_view->alarmActivated(m_alarmState.silentChannels);
}

void Monitor::returnStarted() {
    m_history.alarmReturned(m_loop.clock().now());
    publishStatus();
    // Before the return tasks, which may block for a while: the alarm is over whatever happens to them.
    if (m_savesAlarmChanges)
        saveSettings();
    if (m_view)
        m_view->returnStarted();
}

} // namespace quietmon
