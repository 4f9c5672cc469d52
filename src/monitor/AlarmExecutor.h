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
    void run(TaskKind kind);
    // The next entry waits for the send to end; the rest of the program does not.
    void sendEmailAndWait(const EmailSettings& settings);
    void onEmailFinished(unsigned run);

    AlarmHost& m_host;
    Timer& m_alarmQueueTimer;
    TaskServices& m_tasks;
    // Counts the queue's runs, so that a send that ends after its queue was broken or started again
    // moves no other run on.
    unsigned m_run = 0;
    bool m_waitingForEmail = false;
};

} // namespace quietmon
