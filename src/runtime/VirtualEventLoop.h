#pragma once

#include "runtime/EventLoop.h"
#include "runtime/TimerScheduler.h"

#include <cstdint>
#include <functional>

namespace quietmon {

// An event loop in virtual time: nothing waits for real. Time moves only through `advance`,
// `runUntil` and sleeps made inside handlers, so a 300-second countdown runs in microseconds.
// Events and ticks are delivered in the same order as in the desktop program.
class VirtualEventLoop final : public EventLoop, private Clock {
public:
    explicit VirtualEventLoop(DateTime start = DateTime::fromParts(2026, 1, 5, 12, 0, 0));

    Clock& clock() override { return *this; }
    DateTime now() const override;
    // Moves virtual time on; nothing else runs during the wait.
    void sleep(int ms) override;
    std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override;
    void post(std::function<void()> event) override;
    // Watched descriptors are polled, without waiting, whenever the loop delivers.
    std::unique_ptr<DescriptorWatch> watchReadable(int fd, std::function<void()> onReadable) override;
    void setErrorHandler(std::function<void(const std::string& message)> onError) override {
        m_scheduler.setErrorHandler(std::move(onError));
    }
    void runGuarded(const std::function<void()>& handler) override { m_scheduler.runGuarded(handler); }

    // Delivers the posted events and the ticks due by the current moment, without moving time.
    void runPending();
    // Delivers the posted events and the ticks that fall due in the next `ms` milliseconds, in order,
    // moving time to each tick; ends at the current moment + `ms`, or later if a handler slept past it.
    // Ticks that fall due during such a sleep, beyond that end, wait for the next call.
    void advance(std::int64_t ms);
    // Advances tick by tick until `done` holds (checked after each delivery step) or `limitMs` passed.
    bool runUntil(const std::function<bool()>& done, std::int64_t limitMs);
    // Milliseconds of virtual time since the loop was created.
    std::int64_t elapsedMs() const { return m_elapsedMs; }

private:
    void runReadableWatches();

    DateTime m_start;
    std::int64_t m_elapsedMs = 0;
    TimerScheduler m_scheduler;
    DescriptorWatchList m_watches;
};

} // namespace quietmon
