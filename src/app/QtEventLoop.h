#pragma once

#include "runtime/EventLoop.h"
#include "runtime/SystemClock.h"
#include "runtime/TimerScheduler.h"

#include <QObject>
#include <thread>

using GSource = struct _GSource;

namespace quietmon {

// The logic's event loop inside the desktop program's Qt event loop. The logic timers are kept by the
// TimerScheduler, so enabling a running timer never restarts it (as QTimer::start would) and ticks wait
// for posted events. What wakes the loop for the earliest due tick is a GLib source on the thread's main
// context, which Qt's event dispatcher turns: at a tick every buffer, Qt's own timers (an event, a
// signal, a timer taken down and set up again) cost more than the rest of the wake-up.
class QtEventLoop final : public QObject, public EventLoop {
public:
    // `liveness` hears from the waits of the logic thread's clock. Throws when the thread's event
    // dispatcher does not turn GLib's main context, since no tick would ever come.
    explicit QtEventLoop(Liveness& liveness = unwatched());
    ~QtEventLoop() override;

    Clock& clock() override { return m_clock; }
    std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override;
    void post(std::function<void()> event) override;
    std::unique_ptr<DescriptorWatch> watchReadable(int fd, std::function<void()> onReadable) override;
    void setErrorHandler(std::function<void(const std::string& message)> onError) override {
        m_scheduler.setErrorHandler(std::move(onError));
    }
    void runGuarded(const std::function<void()>& handler) override { m_scheduler.runGuarded(handler); }

private:
    struct WakeUpSource;

    // The source woke: the watched descriptors that are readable, then the next tick.
    void dispatchWakeUp();
    void dispatch();
    void rearm();
    bool readable(void* watchTag) const;

    SystemClock m_clock;
    GSource* m_wakeUp;
    std::int64_t m_dueUs = -1; // when the wake-up falls due, on GLib's monotonic clock; -1: never
    const std::thread::id m_loopThread = std::this_thread::get_id();
    bool m_dispatching = false; // the loop thread's own
    TimerScheduler m_scheduler;
    DescriptorWatchList m_watches;
};

} // namespace quietmon
