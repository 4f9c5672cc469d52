#pragma once

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
};

// The settings page of `kind` in the queue of `source`, without a parent.
QWidget* makeTaskPage(TaskKind kind, const TaskPageSource& source);

} // namespace quietmon
