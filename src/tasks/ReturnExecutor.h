#pragma once

#include "platform/Timer.h"
#include "tasks/AlarmHost.h"
#include "tasks/TaskServices.h"

namespace quietmon {

class AlarmExecutor;

// Leaves the alarm once sound has lasted long enough, and runs the return task queue in one pass.
class ReturnExecutor {
public:
    ReturnExecutor(AlarmHost& host, Timer& silenceTimer, Timer& returnTimer, AlarmExecutor& alarmExecutor,
                   TaskServices& tasks);

    void onReturnTimer();

private:
    void run(const std::string& name);
    void countDownDelay();

    AlarmHost& m_host;
    Timer& m_silenceTimer;
    Timer& m_returnTimer;
    AlarmExecutor& m_alarmExecutor;
    TaskServices& m_tasks;
};

} // namespace quietmon
