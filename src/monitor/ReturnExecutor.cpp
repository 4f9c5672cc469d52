#include "monitor/ReturnExecutor.h"

#include "monitor/AlarmExecutor.h"
#include "tasks/StatusTexts.h"

#include <exception>

namespace quietmon {

ReturnExecutor::ReturnExecutor(AlarmHost& host, Timer& silenceTimer, Timer& returnTimer,
                               AlarmExecutor& alarmExecutor, TaskServices& tasks)
    : m_host(host), m_silenceTimer(silenceTimer), m_returnTimer(returnTimer), m_alarmExecutor(alarmExecutor),
      m_tasks(tasks) {}

void ReturnExecutor::onReturnTimer() {
    AlarmState& state = m_host.alarmState();
    Settings& settings = m_host.settings();
    if (settings.activation.breakQueue)
        m_alarmExecutor.breakQueue(); // also when the queue had already ended
    else if (!state.runningAlarmQueue.empty())
        return; // the return waits for the alarm queue and is tried again next tick
    m_host.setAlarmTaskPagesEnabled(true);
    if (m_host.setupShown())
        return;

    m_returnTimer.setEnabled(false);
    state.alarmActive = false;
    m_host.setStatus(status_texts::executingReturnTasks, StatusColour::Alarm);
    m_host.returnStarted();
    if (settings.general.stopPlayer && m_tasks.openPlay) {
        try {
            m_tasks.openPlay->stopPlayerForReturn();
        } catch (const std::exception&) {
        }
    }
    m_host.updateTray();
    m_host.setStatus(status_texts::executingReturnTasks, StatusColour::Normal);
    m_host.repaintNow();
    m_host.logEvent("Returned from alarm condition");
    if (settings.port.hold == PinHold::UntilReturn && m_tasks.portPin)
        m_tasks.portPin->releasePortPin(0);
    state.eventTime = m_host.clock().now();
    m_rows.clear();
    for (const std::string& row : settings.returnQueue.rows)
        m_rows.push_back(taskKindOf(row));
    m_nextRow = 0;
    ++m_pass;
    m_waitingForEmail = false;
    state.returnTasksRunning = true;
    runRows();
}

void ReturnExecutor::runRows() {
    AlarmState& state = m_host.alarmState();
    m_runningRows = true;
    try {
        while (m_nextRow < m_rows.size()) {
            const std::optional<TaskKind> kind = m_rows[m_nextRow++];
            if (!kind || !runsIn(*kind, QueueKind::Return))
                continue;
            if (kind != TaskKind::SendEmail || !m_tasks.email) {
                run(*kind);
            } else if (sendEmailAndWait()) {
                m_runningRows = false;
                return;
            }
        }
    } catch (...) {
        // An error escaping a row ends the pass here, with the alarm already left.
        m_runningRows = false;
        state.returnTasksRunning = false;
        throw;
    }
    m_runningRows = false;
    finishReturn();
}

bool ReturnExecutor::sendEmailAndWait() {
    m_waitingForEmail = true;
    try {
        m_tasks.email->sendEmail(m_host.settings().returnQueue.email, QueueKind::Return,
                                 [this, pass = m_pass] { onEmailFinished(pass); });
    } catch (...) {
        m_waitingForEmail = false;
        throw;
    }
    return m_waitingForEmail;
}

void ReturnExecutor::onEmailFinished(unsigned pass) {
    if (pass != m_pass || !m_waitingForEmail)
        return;
    m_waitingForEmail = false;
    // A send that ended at once is followed by the row loop that started it.
    if (!m_runningRows)
        runRows();
}

void ReturnExecutor::finishReturn() {
    m_host.alarmState().returnTasksRunning = false;
    m_silenceTimer.setEnabled(false);
    m_host.setStatus(status_texts::alarmNotActive, StatusColour::Normal);
    m_host.updateTray();
}

void ReturnExecutor::countDownDelay() {
    for (int remaining = m_host.settings().returnQueue.delaySeconds; remaining >= 1; --remaining) {
        m_host.setStatus(status_texts::delayPrefix + std::to_string(remaining), StatusColour::Normal);
        m_host.repaintNow();
        m_host.clock().sleep(1000);
    }
    m_host.setStatus(status_texts::executingReturnTasks, StatusColour::Normal);
}

void ReturnExecutor::run(TaskKind kind) {
    Settings& settings = m_host.settings();
    switch (kind) {
    case TaskKind::Delay:
        countDownDelay();
        break;
    case TaskKind::KillApplication:
        if (m_tasks.kill) {
            for (const KillTarget& application : settings.returnQueue.kill.applications) {
                m_tasks.kill->killApplication(application.title, application.windowClass);
                m_host.clock().sleep(200);
            }
        }
        break;
    case TaskKind::SaveScreenshot:
        if (m_tasks.screenshot && m_tasks.screenshot->saveScreenshot(settings.returnQueue.screenshot))
            m_host.clock().sleep(200);
        break;
    case TaskKind::OpenPlay:
        if (m_tasks.openPlay)
            m_tasks.openPlay->openFiles(settings.returnQueue.open);
        break;
    case TaskKind::SendHttpQuery:
        if (m_tasks.httpQuery)
            m_tasks.httpQuery->sendQuery(settings.returnQueue.query, false);
        break;
    default: // the email waits in runRows(); the other kinds are the alarm queue's
        break;
    }
}

} // namespace quietmon
