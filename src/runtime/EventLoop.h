#pragma once

#include "runtime/Clock.h"
#include "runtime/DescriptorWatch.h"
#include "runtime/Timer.h"

#include <functional>
#include <memory>
#include <string>

namespace quietmon {

// The one thread that runs the monitoring and task logic: its clock, its timers, the descriptors it watches
// and its event queue.
class EventLoop {
public:
    virtual ~EventLoop() = default;
    virtual Clock& clock() = 0;
    virtual std::unique_ptr<Timer> createTimer(std::function<void()> onTick) = 0;
    // Hands an event to the logic thread; callable from any thread. Posted events run in order, each
    // before any timer tick that is due at the same moment.
    virtual void post(std::function<void()> event) = 0;
    // Calls `onReadable` on the logic thread whenever `fd` has something to read (or has failed), until
    // the watch goes. Readiness is level-triggered: a callback that leaves data unread is called again.
    virtual std::unique_ptr<DescriptorWatch> watchReadable(int fd, std::function<void()> onReadable) = 0;
    // Every posted event and tick runs inside one guard: an exception that escapes it is handed to the
    // error handler with its message, and the loop goes on.
    virtual void setErrorHandler(std::function<void(const std::string& message)> onError) = 0;
    // Runs a handler of the desktop (a button, a menu entry, a signal) inside the same guard.
    virtual void runGuarded(const std::function<void()>& handler) = 0;
};

} // namespace quietmon
