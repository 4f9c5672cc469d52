#pragma once

#include "runtime/EventLoop.h"

#include <chrono>
#include <functional>
#include <memory>
#include <poll.h>
#include <pulse/mainloop-api.h>
#include <vector>

namespace quietmon {

// A libpulse mainloop without a thread of its own: it runs only when its owner asks, on the owner's
// thread, so that libpulse's work rides on wake-ups the owner has anyway. Being one thread's alone, it
// needs none of the wake-up pipe that libpulse's own mainloop writes at every turn. The owner may have the
// logic thread watch the descriptors libpulse reads, to turn it as soon as the server sent something.
// The connections on it must go before it does.
class PulsePollingLoop {
public:
    PulsePollingLoop();
    ~PulsePollingLoop();
    PulsePollingLoop(const PulsePollingLoop&) = delete;
    PulsePollingLoop& operator=(const PulsePollingLoop&) = delete;

    // What libpulse's objects are made on.
    pa_mainloop_api* api() { return &m_api; }
    // Runs whatever is ready or due now, never waiting.
    void dispatchPending();
    // Runs it, waiting for what comes, until `done` holds or `deadline` passes; whether `done` holds.
    bool runUntil(std::chrono::steady_clock::time_point deadline, const std::function<bool()>& done);
    // From now on `loop` watches the descriptors libpulse waits to read and calls `onReadable` when one
    // is (the owner then turns this loop). The watches follow what libpulse waits for after each dispatch.
    // `onResumed` is called when a pause for a time ended.
    void watchOn(EventLoop& loop, std::function<void()> onReadable, std::function<void()> onResumed = {});
    // Ends those watches until resumeWatching().
    void pauseWatching();
    // Ends them for `ms`: then the loop turns, watches again and calls `onResumed`.
    void pauseWatching(int ms);
    void resumeWatching();

private:
    struct Io;
    struct Time;
    struct Defer;

    // One turn: the deferred work, then the descriptors, waiting at most `wait`, then the due timers.
    // Whether anything ran.
    bool turn(std::chrono::milliseconds wait);
    bool runDeferred();
    bool runReadyDescriptors(std::chrono::milliseconds wait);
    bool runCallbacks(const std::vector<pollfd>& fds, const std::vector<Io*>& watched);
    bool runDueTimers();
    std::chrono::milliseconds untilNextTimer(std::chrono::milliseconds longest) const;
    void removeFreed();
    // Has the owner's loop watch each descriptor libpulse now waits to read, and no other.
    void updateWatches();

    static pa_io_event* newIo(pa_mainloop_api* api, int fd, pa_io_event_flags_t events,
                              pa_io_event_cb_t callback, void* userdata);
    static void enableIo(pa_io_event* event, pa_io_event_flags_t events);
    static void freeIo(pa_io_event* event);
    static void setIoDestroy(pa_io_event* event, pa_io_event_destroy_cb_t callback);
    static pa_time_event* newTime(pa_mainloop_api* api, const struct timeval* when,
                                  pa_time_event_cb_t callback, void* userdata);
    static void restartTime(pa_time_event* event, const struct timeval* when);
    static void freeTime(pa_time_event* event);
    static void setTimeDestroy(pa_time_event* event, pa_time_event_destroy_cb_t callback);
    static pa_defer_event* newDefer(pa_mainloop_api* api, pa_defer_event_cb_t callback, void* userdata);
    static void enableDefer(pa_defer_event* event, int enabled);
    static void freeDefer(pa_defer_event* event);
    static void setDeferDestroy(pa_defer_event* event, pa_defer_event_destroy_cb_t callback);
    static void quit(pa_mainloop_api* api, int result);

    pa_mainloop_api m_api;
    std::vector<std::unique_ptr<Io>> m_io;
    std::vector<std::unique_ptr<Time>> m_times;
    std::vector<std::unique_ptr<Defer>> m_defers;
    bool m_anyFreed = false;
    std::vector<pollfd> m_spareFds;
    std::vector<Io*> m_spareWatched;
    EventLoop* m_watchingLoop = nullptr;
    std::function<void()> m_onReadable;
    std::function<void()> m_onResumed;
    std::unique_ptr<Timer> m_pauseTimer;
    bool m_watching = false;
};

} // namespace quietmon
