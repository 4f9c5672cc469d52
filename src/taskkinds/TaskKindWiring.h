#pragma once

#include "config/TaskKinds.h"

#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace quietmon {

class DesktopWindows;
class EventLoop;
class Liveness;
class MessageBoxes;
class Monitor;
class QueueTask;
class X11DesktopWindows;

// What the desktop program builds its task kinds with: the logic's loop and monitor, the desktop's
// services, and the main window the tasks draw, parent their dialogs to and close.
struct TaskKindWiring {
    EventLoop& loop;
    Monitor& monitor;
    MessageBoxes& messages;
    X11DesktopWindows& windows;
    Liveness& liveness;
    // No X display answered: the kinds that need a screen are left out and do nothing.
    bool withoutDisplay;
    QWidget* mainWindow;
    std::function<void()> repaintMainWindow;
    std::function<void()> closeMainWindow;
};

// One kind's task with the Linux services it runs over, alive as long as the program.
class WiredTaskKind {
public:
    virtual ~WiredTaskKind() = default;
    virtual QueueTask& task() = 0;
};

// The task of one kind over the Linux services, or null for a kind without one (a kind that steers the
// queue itself, or one this program cannot run here). Each kind's wiring file (taskkinds/) defines it for
// its kind; a kind of the table without one fails to link.
// The collector does not see that definition; the linker joins them. So the template must never get a
// body of its own here: the collector would use it instead of the kind's.
template <TaskKind kind> std::unique_ptr<WiredTaskKind> wireTaskKind(TaskKindWiring& wiring);

// A kind that runs the task of an earlier kind of the table (the three Open/Play kinds share one).
std::unique_ptr<WiredTaskKind> sharingTaskOf(TaskKind earlierKind, TaskKindWiring& wiring);

// Every kind of the table wired, in the table's order, and its task set in the monitor.
std::vector<std::unique_ptr<WiredTaskKind>> wireTaskKinds(TaskKindWiring& wiring);

} // namespace quietmon
