#pragma once

#include "platform/Timer.h"
#include "tasks/AlarmHost.h"
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
    void run(const std::string& name);

    AlarmHost& m_host;
    Timer& m_alarmQueueTimer;
    TaskServices& m_tasks;
};

} // namespace quietmon
