#pragma once

#include "monitor/AlarmHost.h"
#include "runtime/Timer.h"
#include "tasks/TaskServices.h"

#include <optional>
#include <string>
#include <vector>

namespace quietmon {

class AlarmExecutor;

// Leaves the alarm once sound has lasted long enough, and runs the return task queue in one pass. The pass
// waits for each task that goes on in the background (an email) before the next row, without holding the
// logic thread: meanwhile the silence is not counted (AlarmState::returnTasksRunning), as nothing was while
// the pass ran in one go.
class ReturnExecutor {
public:
    ReturnExecutor(AlarmHost& host, Timer& silenceTimer, Timer& returnTimer, AlarmExecutor& alarmExecutor,
                   TaskServices& tasks);

    void onReturnTimer();

private:
    // The rows from the next one on, up to a task to wait for; then the end of the return.
    void runRows();
    // Whether the pass must wait for the row's task to end.
    bool runAndWait(TaskKind kind);
    void onTaskFinished(unsigned pass, unsigned row);
    void finishReturn();
    void countDownDelay();

    AlarmHost& m_host;
    Timer& m_silenceTimer;
    Timer& m_returnTimer;
    AlarmExecutor& m_alarmExecutor;
    TaskServices& m_tasks;
    std::vector<std::optional<TaskKind>> m_rows; // the return queue as it was when the pass began
    std::size_t m_nextRow = 0;
    unsigned m_pass = 0;
    bool m_runningRows = false;
    // Counts the rows run, so that only the one the pass waits for moves it on.
    unsigned m_rowsRun = 0;
    unsigned m_awaitedRow = 0; // none: 0
};

} // namespace quietmon
