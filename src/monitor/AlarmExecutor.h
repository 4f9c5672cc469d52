#pragma once

#include "monitor/AlarmHost.h"
#include "runtime/Timer.h"
#include "tasks/TaskServices.h"

namespace quietmon {

// Works through the alarm task queue, one entry per tick of `alarmQueueTimer`.
class AlarmExecutor {
public:
    static constexpr int tickMs = 200;

    AlarmExecutor(AlarmHost& host, Timer& alarmQueueTimer, TaskServices& tasks);

    // The alarm was raised: the running list is built from the configured rows and the first tick is set.
    void start();
    // After the program's own reboot during an alarm: the list is rebuilt and goes on from the stored
    // position, once the start-up delay has passed.
    void resume();
    // Sound came back and the option says not to wait for the queue.
    void breakQueue();
    void onAlarmQueueTimer();

private:
    void buildRunningQueue();
    // Line numbers count the running list; every Repeat entry shares one counter.
    void repeat();
    // A task that goes on in the background holds the next entry until it has finished; the rest of the
    // program goes on.
    void run(TaskKind kind);
    void onTaskFinished(unsigned run, unsigned row);

    AlarmHost& m_host;
    Timer& m_alarmQueueTimer;
    TaskServices& m_tasks;
    // Counts the queue's runs, so that a task that ends after its queue was broken or started again
    // moves no other run on.
    unsigned m_run = 0;
    // Counts the entries run, so that only the one the queue waits for lets it go on: a task that blocks
    // the thread may let an entry run meanwhile.
    unsigned m_rowsRun = 0;
    unsigned m_awaitedRow = 0; // none: 0
};

} // namespace quietmon
