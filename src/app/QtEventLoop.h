#pragma once

#include "platform/EventLoop.h"
#include "platform/TimerScheduler.h"
#include "platform/linux/SystemClock.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <optional>
#include <thread>

namespace quietmon {

// The logic's event loop inside the desktop program's Qt event loop. One precise single-shot QTimer wakes
// the loop at the earliest due tick; the logic timers themselves are kept by the TimerScheduler, so
// enabling a running timer never restarts it (as QTimer::start would) and ticks wait for posted events.
class QtEventLoop final : public QObject, public EventLoop {
public:
    // `liveness` hears from the waits of the logic thread's clock.
    explicit QtEventLoop(Liveness& liveness = unwatched());
    ~QtEventLoop() override;

    Clock& clock() override { return m_clock; }
    std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override;
    void post(std::function<void()> event) override;
    void setErrorHandler(std::function<void(const std::string& message)> onError) override {
        m_scheduler.setErrorHandler(std::move(onError));
    }
    void runGuarded(const std::function<void()>& handler) override { m_scheduler.runGuarded(handler); }

private:
    std::int64_t monotonicMs() const;
    void dispatch();
    void rearm();
    void arm(std::int64_t dueMs);

    SystemClock m_clock;
    std::chrono::steady_clock::time_point m_origin = std::chrono::steady_clock::now();
    QTimer m_wakeUp;
    std::optional<std::int64_t> m_armedForMs; // when the wake-up is set to fire
    const std::thread::id m_loopThread = std::this_thread::get_id();
    bool m_dispatching = false; // the loop thread's own
    TimerScheduler m_scheduler;
};

} // namespace quietmon
