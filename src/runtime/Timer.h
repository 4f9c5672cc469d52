#pragma once

namespace quietmon {

// A repeating timer of the logic thread, with the semantics the monitor's countdowns rely on:
// - enabling a running timer does not restart it; disabling it discards the time counted so far;
// - setting a different interval on a running timer restarts its count from now, the same interval
//   changes nothing; on a stopped timer the interval is only stored;
// - intervals below 10 ms act as 10 ms;
// - a tick is delivered only when no posted event is waiting, and a due tick fires once, however long
//   the logic thread was blocked.
// Timers are created by an EventLoop and start disabled, with an interval of 1000 ms.
class Timer {
public:
    static constexpr int minimumIntervalMs = 10;
    static constexpr int defaultIntervalMs = 1000;

    virtual ~Timer() = default;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool enabled() const = 0;
    virtual void setInterval(int intervalMs) = 0;
    virtual int interval() const = 0;
};

} // namespace quietmon
