#pragma once

#include "config/Settings.h"
#include "config/TaskKinds.h"

#include <QString>
#include <functional>

class QWidget;

namespace quietmon {

struct SetupContext;

// What a task kind's settings page is made with: the dialog's context, the queue whose settings it edits,
// and where "Attach to email" sends a screenshot's file.
struct TaskPageSource {
    SetupContext& context;
    QueueKind queue;
    std::function<void(const QString&)> attachToEmail;

    // The monitor's live settings of the page's queue.
    TaskQueueSettings& queueSettings() const;
};

// The settings page of one kind, without a parent. Each kind's page file (setup/taskpages/) defines it for
// its kind; a kind of the table without one fails to link.
// The collector does not see that definition; the linker joins them. So the template must never get a
// body of its own here: the collector would use it instead of the kind's.
template <TaskKind kind> QWidget* makeTaskPageOf(const TaskPageSource& source);

// The settings page of `kind` in the queue of `source`, without a parent.
QWidget* makeTaskPage(TaskKind kind, const TaskPageSource& source);

} // namespace quietmon
