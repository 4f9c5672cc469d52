#include "monitor/AlarmExecutor.h"

#include "config/taskkinds/DelaySettings.h"
#include "config/taskkinds/RepeatSettings.h"
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
    m_awaitedRow = 0;
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
    m_awaitedRow = 0;
    m_host.setAlarmTaskPagesEnabled(false);
    buildRunningQueue();
    m_alarmQueueTimer.setInterval(tickMs);
    m_alarmQueueTimer.setEnabled(true);
}

void AlarmExecutor::breakQueue() {
    ++m_run;
    m_awaitedRow = 0;
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
        m_alarmQueueTimer.setInterval(settings.alarmQueue.of<TaskKind::Delay>().seconds * 1000 + 1);
        return;
    }
    m_alarmQueueTimer.setInterval(tickMs);
    if (kind == TaskKind::Repeat)
        repeat();
    else if (kind && runsIn(*kind, QueueKind::Alarm))
        run(*kind);
}

void AlarmExecutor::repeat() {
    AlarmState& state = m_host.alarmState();
    const RepeatSettings& repeat = m_host.settings().alarmQueue.of<TaskKind::Repeat>();
    // Run from the queue, so the position is the entries run so far, this one included.
    if (state.repeatCount < repeat.maximum && repeat.fromLine <= state.taskPosition.value_or(0) + 1) {
        state.taskPosition = repeat.fromLine - 1;
        ++state.repeatCount;
    }
}

void AlarmExecutor::run(TaskKind kind) {
    QueueTask* task = m_tasks.of(kind);
    if (!task)
        return;
    const unsigned row = ++m_rowsRun;
    m_awaitedRow = row;
    AfterRow after = AfterRow::GoOn;
    try {
        after = task->run(
            {QueueKind::Alarm, kind, m_host, [this, run = m_run, row] { onTaskFinished(run, row); }});
    } catch (...) {
        if (m_awaitedRow == row)
            m_awaitedRow = 0;
        throw;
    }
    // A task that ended at once has already let the queue go on.
    if (m_awaitedRow != row)
        return;
    if (after == AfterRow::GoOn)
        m_awaitedRow = 0;
    else
        m_alarmQueueTimer.setEnabled(false);
}

void AlarmExecutor::onTaskFinished(unsigned run, unsigned row) {
    if (run != m_run || row != m_awaitedRow)
        return;
    m_awaitedRow = 0;
    m_alarmQueueTimer.setInterval(tickMs);
    m_alarmQueueTimer.setEnabled(true);
}

} // namespace quietmon
