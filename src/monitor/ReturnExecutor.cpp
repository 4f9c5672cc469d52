#include "monitor/ReturnExecutor.h"

#include "config/taskkinds/DelaySettings.h"
#include "monitor/AlarmExecutor.h"
#include "tasks/StatusTexts.h"

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
    m_host.updateTray();
    m_host.setStatus(status_texts::executingReturnTasks, StatusColour::Normal);
    m_host.repaintNow();
    m_host.logEvent("Returned from alarm condition");
    for (QueueTask* task : m_tasks.distinct())
        task->atReturn(settings);
    state.eventTime = m_host.clock().now();
    m_rows.clear();
    for (const std::string& row : settings.returnQueue.rows)
        m_rows.push_back(taskKindOf(row));
    m_nextRow = 0;
    ++m_pass;
    m_awaitedRow = 0;
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
            if (kind == TaskKind::Delay) {
                countDownDelay();
            } else if (runAndWait(*kind)) {
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

bool ReturnExecutor::runAndWait(TaskKind kind) {
    QueueTask* task = m_tasks.of(kind);
    if (!task)
        return false;
    const unsigned row = ++m_rowsRun;
    m_awaitedRow = row;
    AfterRow after = AfterRow::GoOn;
    try {
        after = task->run(
            {QueueKind::Return, kind, m_host, [this, pass = m_pass, row] { onTaskFinished(pass, row); }});
    } catch (...) {
        if (m_awaitedRow == row)
            m_awaitedRow = 0;
        throw;
    }
    if (m_awaitedRow != row)
        return false; // it ended at once
    if (after == AfterRow::GoOn)
        m_awaitedRow = 0;
    return m_awaitedRow == row;
}

void ReturnExecutor::onTaskFinished(unsigned pass, unsigned row) {
    if (pass != m_pass || row != m_awaitedRow)
        return;
    m_awaitedRow = 0;
    // A task that ended at once is followed by the row loop that started it.
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
    for (int remaining = m_host.settings().returnQueue.of<TaskKind::Delay>().seconds; remaining >= 1;
         --remaining) {
        m_host.setStatus(status_texts::delayPrefix + std::to_string(remaining), StatusColour::Normal);
        m_host.repaintNow();
        m_host.clock().sleep(1000);
    }
    m_host.setStatus(status_texts::executingReturnTasks, StatusColour::Normal);
}

} // namespace quietmon
