#include "runtime/TimerScheduler.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace quietmon {

class TimerScheduler::ScheduledTimer final : public Timer {
public:
    ScheduledTimer(TimerScheduler& scheduler, std::function<void()> onTick)
        : m_scheduler(&scheduler), m_onTick(std::move(onTick)) {}
    ~ScheduledTimer() override {
        if (m_scheduler)
            m_scheduler->forget(this);
    }

    void setEnabled(bool enabled) override {
        if (enabled == m_enabled)
            return;
        m_enabled = enabled;
        m_dueMs = enabled ? now() + effectiveInterval() : 0;
        changed();
    }
    bool enabled() const override { return m_enabled; }

    void setInterval(int intervalMs) override {
        if (intervalMs == m_intervalMs)
            return;
        m_intervalMs = intervalMs;
        if (m_enabled) {
            m_dueMs = now() + effectiveInterval();
            changed();
        }
    }
    int interval() const override { return m_intervalMs; }

    bool isDue(std::int64_t nowMs) const { return m_enabled && m_dueMs <= nowMs; }
    std::int64_t dueMs() const { return m_dueMs; }

    // The count goes on from the moment the tick fell due, as a desktop timer's does; ticks missed while
    // the thread was blocked are not made up for.
    std::function<void()> takeTick(std::int64_t nowMs) {
        const std::int64_t interval = effectiveInterval();
        const std::int64_t missed = (nowMs - m_dueMs) / interval;
        m_dueMs += (missed + 1) * interval;
        return m_onTick; // a copy: the handler may destroy this timer
    }

    void detach() { m_scheduler = nullptr; }

private:
    std::int64_t effectiveInterval() const { return std::max(m_intervalMs, minimumIntervalMs); }
    std::int64_t now() const { return m_scheduler ? m_scheduler->m_hooks.monotonicMs() : 0; }
    void changed() {
        if (m_scheduler && m_scheduler->m_hooks.scheduleChanged)
            m_scheduler->m_hooks.scheduleChanged();
    }

    TimerScheduler* m_scheduler;
    std::function<void()> m_onTick;
    bool m_enabled = false;
    int m_intervalMs = defaultIntervalMs;
    std::int64_t m_dueMs = 0;
};

TimerScheduler::TimerScheduler(Hooks hooks) : m_hooks(std::move(hooks)) {}

TimerScheduler::~TimerScheduler() {
    for (ScheduledTimer* timer : m_timers)
        timer->detach();
}

std::unique_ptr<Timer> TimerScheduler::createTimer(std::function<void()> onTick) {
    auto timer = std::make_unique<ScheduledTimer>(*this, std::move(onTick));
    m_timers.push_back(timer.get());
    return timer;
}

void TimerScheduler::forget(ScheduledTimer* timer) {
    std::erase(m_timers, timer);
}

void TimerScheduler::post(std::function<void()> event) {
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_postedMutex);
        wasEmpty = m_posted.empty();
        m_posted.push_back(std::move(event));
    }
    // A loop already woken for an earlier event drains this one too.
    if (wasEmpty && m_hooks.eventPosted)
        m_hooks.eventPosted();
}

bool TimerScheduler::hasPostedEvents() const {
    std::lock_guard lock(m_postedMutex);
    return !m_posted.empty();
}

bool TimerScheduler::runOnePostedEvent() {
    std::function<void()> event;
    {
        std::lock_guard lock(m_postedMutex);
        if (m_posted.empty())
            return false;
        event = std::move(m_posted.front());
        m_posted.pop_front();
    }
    runGuarded(event);
    return true;
}

bool TimerScheduler::fireOneDueTimer(std::optional<std::int64_t> dueBy) {
    const std::int64_t now = m_hooks.monotonicMs();
    const std::int64_t limit = dueBy ? std::min(*dueBy, now) : now;
    ScheduledTimer* earliest = nullptr;
    for (ScheduledTimer* timer : m_timers) {
        if (timer->isDue(limit) && (!earliest || timer->dueMs() < earliest->dueMs()))
            earliest = timer;
    }
    if (!earliest)
        return false;
    const std::function<void()> tick = earliest->takeTick(now);
    if (m_hooks.scheduleChanged)
        m_hooks.scheduleChanged();
    if (tick)
        runGuarded(tick);
    return true;
}

void TimerScheduler::runGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        if (m_onError)
            m_onError(error.what());
    } catch (...) {
        if (m_onError)
            m_onError("Unknown exception");
    }
}

void TimerScheduler::runReady(const Limits& limits) {
    int ticks = 0;
    for (;;) {
        if (runOnePostedEvent())
            continue;
        if ((limits.maxTicks && ticks >= *limits.maxTicks) || !fireOneDueTimer(limits.dueBy))
            return;
        ++ticks;
    }
}

std::optional<std::int64_t> TimerScheduler::nextDueMs() const {
    std::optional<std::int64_t> next;
    for (const ScheduledTimer* timer : m_timers) {
        if (timer->enabled() && (!next || timer->dueMs() < *next))
            next = timer->dueMs();
    }
    return next;
}

} // namespace quietmon
