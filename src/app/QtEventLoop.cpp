#include "app/QtEventLoop.h"

#include <algorithm>

namespace quietmon {

QtEventLoop::QtEventLoop(Liveness& liveness)
    : m_clock(liveness), m_scheduler({.monotonicMs = [this] { return monotonicMs(); },
                                      .scheduleChanged = [this] { rearm(); },
                                      .eventPosted =
                                          [this] {
                                              // What a handler posts while the loop dispatches is run
                                              // before dispatch() returns: another pass through Qt's
                                              // loop would find nothing left.
                                              if (std::this_thread::get_id() == m_loopThread && m_dispatching)
                                                  return;
                                              QMetaObject::invokeMethod(
                                                  this, [this] { dispatch(); }, Qt::QueuedConnection);
                                          }}) {
    // Qt's default coarse timers may fire 5 % early: 15 s on a 300 s countdown.
    m_wakeUp.setTimerType(Qt::PreciseTimer);
    m_wakeUp.setSingleShot(true);
    connect(&m_wakeUp, &QTimer::timeout, this, [this] {
        m_armedForMs.reset();
        dispatch();
    });
}

QtEventLoop::~QtEventLoop() = default;

std::int64_t QtEventLoop::monotonicMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_origin)
        .count();
}

std::unique_ptr<Timer> QtEventLoop::createTimer(std::function<void()> onTick) {
    return m_scheduler.createTimer(std::move(onTick));
}

void QtEventLoop::post(std::function<void()> event) {
    m_scheduler.post(std::move(event));
}

void QtEventLoop::dispatch() {
    // One tick at a time, so that painting and input get their turn between ticks.
    const bool nested = m_dispatching; // a handler may run a dialog's loop, which dispatches too
    m_dispatching = true;
    m_scheduler.runReady({.maxTicks = 1, .dueBy = {}});
    m_dispatching = nested;
    rearm();
}

void QtEventLoop::rearm() {
    if (m_scheduler.hasPostedEvents()) {
        arm(monotonicMs());
        return;
    }
    // A wake-up already set for an earlier moment stays: it finds nothing due and sets the next one. Every
    // measured buffer moves the watchdog on, and re-setting the wake-up each time would cost more.
    if (const auto due = m_scheduler.nextDueMs(); due && (!m_armedForMs || *due < *m_armedForMs))
        arm(*due);
}

void QtEventLoop::arm(std::int64_t dueMs) {
    m_armedForMs = dueMs;
    m_wakeUp.start(static_cast<int>(std::clamp<std::int64_t>(dueMs - monotonicMs(), 0, 24 * 3600 * 1000)));
}

} // namespace quietmon
