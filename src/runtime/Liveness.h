#pragma once

namespace quietmon {

// Someone outside the program (a service manager's watchdog) wants to hear, at least every so often, that
// the logic thread still runs. The logic thread says so from its own loop and from inside every wait that
// may hold it for long (a sleep, a network or sound-server wait); a thread stuck anywhere else goes
// silent, and the watcher acts on that.
class Liveness {
public:
    // A wait that may last longer than this wakes at least this often to say so.
    static constexpr int waitSliceMs = 1000;

    virtual ~Liveness() = default;
    // How often the logic thread's loop should say so; 0 when nobody listens.
    virtual int reportIntervalMs() const = 0;
    // The logic thread still runs. Calls from any other thread, and calls sooner than needed, do nothing.
    virtual void stillAlive() = 0;
};

// For a program that nobody watches, and for the waits of other threads.
inline Liveness& unwatched() {
    class Unwatched final : public Liveness {
    public:
        int reportIntervalMs() const override { return 0; }
        void stillAlive() override {}
    };
    static Unwatched nobody;
    return nobody;
}

} // namespace quietmon
