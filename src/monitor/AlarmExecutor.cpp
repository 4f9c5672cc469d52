#include "monitor/AlarmExecutor.h"

#include "tasks/Placeholders.h"
#include "tasks/StatusTexts.h"

namespace quietmon {

AlarmExecutor::AlarmExecutor(AlarmHost& host, Timer& alarmQueueTimer, TaskServices& tasks)
    : m_host(host), m_alarmQueueTimer(alarmQueueTimer), m_tasks(tasks) {}

void AlarmExecutor::buildRunningQueue() {
    // Rows of four characters or fewer are left out, so the list has no gaps.
    auto& queue = m_host.alarmState().runningAlarmQueue;
    queue.clear();
    for (const std::string& row : m_host.settings().alarmQueue.rows) {
        if (row.size() > 4)
            queue.push_back(taskKindOf(row));
    }
}

void AlarmExecutor::start() {
    ++m_run;
    m_waitingForEmail = false;
    m_host.setAlarmTaskPagesEnabled(false);
    buildRunningQueue();
    AlarmState& state = m_host.alarmState();
    state.taskPosition = 0;
    state.repeatCount = 0;
    m_alarmQueueTimer.setInterval(tickMs);
    m_alarmQueueTimer.setEnabled(true);
    state.eventTime = m_host.clock().now();
}

void AlarmExecutor::resume() {
    ++m_run;
    m_waitingForEmail = false;
    m_host.setAlarmTaskPagesEnabled(false);
    buildRunningQueue();
    m_alarmQueueTimer.setInterval(tickMs);
    m_alarmQueueTimer.setEnabled(true);
}

void AlarmExecutor::breakQueue() {
    ++m_run;
    m_waitingForEmail = false;
    m_host.alarmState().runningAlarmQueue.clear();
    m_alarmQueueTimer.setEnabled(false);
    m_host.logEvent("Alarm task queue broken");
    m_host.setAlarmTaskPagesEnabled(true);
}

void AlarmExecutor::onAlarmQueueTimer() {
    AlarmState& state = m_host.alarmState();
    const Settings& settings = m_host.settings();
    const DateTime now = m_host.clock().now();
    if (state.startUpDelay.holds(now, settings.general.startUpDelay))
        return;

    m_host.setStatus(status_texts::executingAlarmTasks, StatusColour::Alarm);
    m_host.updateTray();
    if (!state.taskPosition || *state.taskPosition < 0 ||
        *state.taskPosition >= static_cast<int>(state.runningAlarmQueue.size())) {
        m_alarmQueueTimer.setEnabled(false);
        m_host.setStatus(status_texts::silence, StatusColour::Alarm);
        m_host.updateTray();
        m_host.setAlarmTaskPagesEnabled(true);
        state.runningAlarmQueue.clear();
        return;
    }
    // Advanced before the entry runs: an entry that fails is not tried again.
    const std::optional<TaskKind> kind =
        state.runningAlarmQueue[static_cast<std::size_t>(*state.taskPosition)];
    ++*state.taskPosition;
    if (kind == TaskKind::Delay) {
        m_alarmQueueTimer.setInterval(settings.alarmQueue.delaySeconds * 1000 + 1);
        return;
    }
    m_alarmQueueTimer.setInterval(tickMs);
    if (kind && runsIn(*kind, QueueKind::Alarm))
        run(*kind);
}

void AlarmExecutor::run(TaskKind kind) {
    AlarmState& state = m_host.alarmState();
    Settings& settings = m_host.settings();
    switch (kind) {
    case TaskKind::Repeat:
        // Line numbers count the running list; every Repeat entry shares one counter.
        // Run from the queue, so the position is the entries run so far, this one included.
        if (state.repeatCount < settings.repeatMaximum &&
            settings.repeatFromLine <= state.taskPosition.value_or(0) + 1) {
            state.taskPosition = settings.repeatFromLine - 1;
            ++state.repeatCount;
        }
        break;
    case TaskKind::SendEmail:
        if (m_tasks.email) {
            m_host.repaintNow();
            sendEmailAndWait(settings.alarmQueue.email);
        }
        break;
    case TaskKind::SaveScreenshot:
        if (m_tasks.screenshot)
            m_tasks.screenshot->saveScreenshot(settings.alarmQueue.screenshot);
        break;
    case TaskKind::OpenPlay1:
    case TaskKind::OpenPlay2:
        if (m_tasks.openPlay)
            m_tasks.openPlay->openFiles(kind == TaskKind::OpenPlay1 ? settings.alarmQueue.open
                                                                    : settings.open2);
        break;
    case TaskKind::RebootSystem:
        // Emptied first: a tick during the countdown, or after a refusal, ends the queue.
        state.runningAlarmQueue.clear();
        if (m_tasks.reboot)
            m_tasks.reboot->reboot(settings.reboot);
        break;
    case TaskKind::KillApplication:
        if (m_tasks.kill) {
            for (const KillTarget& application : settings.alarmQueue.kill.applications)
                m_tasks.kill->killApplication(application.title, application.windowClass);
        }
        break;
    case TaskKind::SwitchPortPin:
        if (m_tasks.portPin) {
            m_host.repaintNow();
            m_tasks.portPin->switchPin(settings.port);
        }
        break;
    case TaskKind::SendHttpQuery:
        if (m_tasks.httpQuery)
            m_tasks.httpQuery->sendQuery(settings.alarmQueue.query, false);
        break;
    case TaskKind::Speak:
        if (m_tasks.speech) {
            m_host.repaintNow();
            m_tasks.speech->speak(expandPlaceholders(settings.speakText, state));
        }
        break;
    case TaskKind::Delay:    // the tick's own interval, set before
    case TaskKind::OpenPlay: // the return queue's
        break;
    }
}

void AlarmExecutor::sendEmailAndWait(const EmailSettings& settings) {
    m_waitingForEmail = true;
    try {
        m_tasks.email->sendEmail(settings, QueueKind::Alarm, [this, run = m_run] { onEmailFinished(run); });
    } catch (...) {
        m_waitingForEmail = false;
        throw;
    }
    // A send that ended at once has already let the queue go on.
    if (m_waitingForEmail)
        m_alarmQueueTimer.setEnabled(false);
}

void AlarmExecutor::onEmailFinished(unsigned run) {
    if (run != m_run || !m_waitingForEmail)
        return;
    m_waitingForEmail = false;
    m_alarmQueueTimer.setInterval(tickMs);
    m_alarmQueueTimer.setEnabled(true);
}

} // namespace quietmon
