#pragma once

#include "runtime/Timer.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quietmon {

// The delivery order shared by the program's event loop and the virtual-time loop of tests: posted
// events first, one at a time, then the earliest due timer tick, and again. Time is a monotonic
// millisecond count supplied by the loop that drives the scheduler.
class TimerScheduler {
public:
    struct Hooks {
        std::function<std::int64_t()> monotonicMs;
        // Called on the logic thread when a timer's due time changed, so the loop can re-arm its wake-up.
        std::function<void()> scheduleChanged;
        // Called on the posting thread after an event was queued into an empty queue, so the loop can
        // wake up; it then delivers every event queued meanwhile.
        std::function<void()> eventPosted;
    };

    explicit TimerScheduler(Hooks hooks);
    ~TimerScheduler();
    TimerScheduler(const TimerScheduler&) = delete;
    TimerScheduler& operator=(const TimerScheduler&) = delete;

    std::unique_ptr<Timer> createTimer(std::function<void()> onTick);
    void post(std::function<void()> event);

    struct Limits {
        // The desktop loop fires one tick at a time so that painting and input get their turn.
        std::optional<int> maxTicks;
        // Only ticks due by this moment fire. A handler that sleeps longer than its own interval is
        // due again at once, for ever; a bound keeps a virtual-time loop from chasing it.
        std::optional<std::int64_t> dueBy;
    };

    // Delivers posted events and due ticks until none is ready or a limit is reached. Re-entrant: a
    // handler may run a nested loop (a modal dialog) that calls it again.
    void runReady(const Limits& limits);
    void runReady() { runReady(Limits{}); }
    // Earliest due time of an enabled timer.
    std::optional<std::int64_t> nextDueMs() const;
    bool hasPostedEvents() const;

    void setErrorHandler(std::function<void(const std::string&)> onError) { m_onError = std::move(onError); }
    // Runs a handler; an exception escaping it goes to the error handler.
    void runGuarded(const std::function<void()>& handler);

private:
    class ScheduledTimer;
    friend class ScheduledTimer;

    bool runOnePostedEvent();
    bool fireOneDueTimer(std::optional<std::int64_t> dueBy);
    void forget(ScheduledTimer* timer);

    Hooks m_hooks;
    std::vector<ScheduledTimer*> m_timers; // creation order breaks ties between equal due times
    mutable std::mutex m_postedMutex;
    std::deque<std::function<void()>> m_posted;
    std::function<void(const std::string&)> m_onError;
};

} // namespace quietmon
