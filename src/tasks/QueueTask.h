#pragma once

#include "config/Settings.h"
#include "config/TaskKinds.h"
#include "runtime/Clock.h"
#include "tasks/AlarmState.h"

#include <functional>
#include <optional>

namespace quietmon {

// What a task reaches of the monitor it runs in.
class TaskHost {
public:
    virtual ~TaskHost() = default;
    virtual Settings& settings() = 0;
    virtual AlarmState& alarmState() = 0;
    virtual Clock& clock() = 0;
    // Draws the main window now, before a task that blocks the thread.
    virtual void repaintNow() = 0;
};

// What the queue does once a row's task has returned.
enum class AfterRow {
    GoOn,
    // The task goes on in the background: the queue waits until it calls the request's `finished`, which
    // may already have happened before `run` returned.
    WaitForFinished,
};

// One row of a queue to run.
struct TaskRequest {
    QueueKind queue;
    TaskKind kind; // a task that runs several kinds tells them apart by it
    TaskHost& host;
    std::function<void()> finished;

    // The settings of the queue the row belongs to.
    TaskQueueSettings& queueSettings() const { return host.settings().queue(queue); }
};

// What the start-up learns from the task kinds.
struct TaskStartUpOutcome {
    // Whether the built-in mp3 player could be made; untouched by a program without one.
    std::optional<bool> builtInPlayerAvailable;
};

// A task kind as the queues and the monitor see it: a row to run, and the moments of the program's life it
// may act at. The hooks run once per task, however many kinds it runs.
class QueueTask {
public:
    virtual ~QueueTask() = default;
    virtual AfterRow run(const TaskRequest& request) = 0;
    // At start-up, before the settings are loaded.
    virtual void startUp(TaskStartUpOutcome& /*outcome*/) {}
    // At the return from the alarm condition, once it is logged and before the return queue runs.
    virtual void atReturn(const Settings& /*settings*/) {}
    // When the monitor closes, before the settings are saved.
    virtual void atClose() {}
    // At the program's end, after the capture has stopped.
    virtual void windDown() {}
};

} // namespace quietmon
