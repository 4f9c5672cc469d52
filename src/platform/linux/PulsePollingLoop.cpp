#include "platform/linux/PulsePollingLoop.h"

#include <algorithm>
#include <iterator>
#include <poll.h>
#include <sys/time.h>
#include <type_traits>
#include <utility>

namespace quietmon {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Enough for every packet that a few seconds of a stream bring; a bound, so that a server that floods the
// connection cannot hold the owner's thread.
constexpr int maxTurnsAtOnce = 256;

// How libpulse marks a time on the monotonic clock rather than the wall clock (pa_timeval_rtstore), as the
// mainloops that come with it read it.
constexpr suseconds_t monotonicMark = static_cast<suseconds_t>(1) << 30;

// A libpulse time as a moment of the steady clock, which is the monotonic clock libpulse means.
SteadyClock::time_point steadyMoment(const struct timeval& when) {
    if ((when.tv_usec & monotonicMark) != 0)
        return SteadyClock::time_point(std::chrono::seconds(when.tv_sec) +
                                       std::chrono::microseconds(when.tv_usec & ~monotonicMark));
    struct timeval now {};
    gettimeofday(&now, nullptr);
    const auto fromNow = std::chrono::seconds(when.tv_sec - now.tv_sec) +
                         std::chrono::microseconds(when.tv_usec - now.tv_usec);
    return SteadyClock::now() + fromNow;
}

short pollEvents(pa_io_event_flags_t events) {
    return static_cast<short>(((events & PA_IO_EVENT_INPUT) != 0 ? POLLIN : 0) |
                              ((events & PA_IO_EVENT_OUTPUT) != 0 ? POLLOUT : 0));
}

pa_io_event_flags_t ioEvents(short revents) {
    return static_cast<pa_io_event_flags_t>(((revents & POLLIN) != 0 ? PA_IO_EVENT_INPUT : 0) |
                                            ((revents & POLLOUT) != 0 ? PA_IO_EVENT_OUTPUT : 0) |
                                            ((revents & POLLHUP) != 0 ? PA_IO_EVENT_HANGUP : 0) |
                                            ((revents & (POLLERR | POLLNVAL)) != 0 ? PA_IO_EVENT_ERROR : 0));
}

} // namespace

struct PulsePollingLoop::Io {
    PulsePollingLoop* loop;
    int fd;
    pa_io_event_flags_t events;
    pa_io_event_cb_t callback;
    void* userdata;
    pa_io_event_destroy_cb_t destroy = nullptr;
    bool freed = false;
    std::unique_ptr<DescriptorWatch> watch{};
};

struct PulsePollingLoop::Time {
    PulsePollingLoop* loop;
    bool enabled;
    SteadyClock::time_point due;
    struct timeval asGiven;
    pa_time_event_cb_t callback;
    void* userdata;
    pa_time_event_destroy_cb_t destroy = nullptr;
    bool freed = false;
};

struct PulsePollingLoop::Defer {
    PulsePollingLoop* loop;
    bool enabled;
    pa_defer_event_cb_t callback;
    void* userdata;
    pa_defer_event_destroy_cb_t destroy = nullptr;
    bool freed = false;
};

PulsePollingLoop::PulsePollingLoop()
    : m_api{
          this,      &newIo,          &enableIo, &freeIo,      &setIoDestroy, &newTime,         &restartTime,
          &freeTime, &setTimeDestroy, &newDefer, &enableDefer, &freeDefer,    &setDeferDestroy, &quit} {}

PulsePollingLoop::~PulsePollingLoop() {
    for (auto& io : m_io)
        io->freed = true;
    for (auto& time : m_times)
        time->freed = true;
    for (auto& defer : m_defers)
        defer->freed = true;
    m_anyFreed = true;
    removeFreed();
}

void PulsePollingLoop::dispatchPending() {
    for (int turns = 0; turns < maxTurnsAtOnce && turn(std::chrono::milliseconds(0)); ++turns) {
    }
    updateWatches();
}

bool PulsePollingLoop::runUntil(SteadyClock::time_point deadline, const std::function<bool()>& done) {
    bool finished = false;
    while (!(finished = done())) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0)
            break;
        turn(untilNextTimer(left));
    }
    updateWatches();
    return finished;
}

void PulsePollingLoop::watchOn(EventLoop& loop, std::function<void()> onReadable,
                               std::function<void()> onResumed) {
    m_watchingLoop = &loop;
    m_onReadable = std::move(onReadable);
    m_onResumed = std::move(onResumed);
    m_pauseTimer = loop.createTimer([this] {
        m_pauseTimer->setEnabled(false);
        dispatchPending();
        resumeWatching();
        if (m_onResumed)
            m_onResumed();
    });
    resumeWatching();
}

void PulsePollingLoop::pauseWatching() {
    m_watching = false;
    updateWatches();
}

void PulsePollingLoop::pauseWatching(int ms) {
    pauseWatching();
    m_pauseTimer->setEnabled(false);
    m_pauseTimer->setInterval(ms);
    m_pauseTimer->setEnabled(true);
}

void PulsePollingLoop::resumeWatching() {
    if (m_pauseTimer)
        m_pauseTimer->setEnabled(false);
    m_watching = true;
    updateWatches();
}

void PulsePollingLoop::updateWatches() {
    // Only between turns: inside one, libpulse stops and restarts reading for every packet, and each
    // change of the watches costs the loop a change of what it polls.
    for (auto& io : m_io) {
        const bool wanted =
            m_watchingLoop && m_watching && !io->freed && (io->events & PA_IO_EVENT_INPUT) != 0;
        if (wanted && !io->watch)
            io->watch = m_watchingLoop->watchReadable(io->fd, [this] { m_onReadable(); });
        else if (!wanted)
            io->watch.reset();
    }
}

bool PulsePollingLoop::turn(std::chrono::milliseconds wait) {
    bool ran = runDeferred();
    ran = runReadyDescriptors(ran ? std::chrono::milliseconds(0) : wait) || ran;
    ran = runDueTimers() || ran;
    removeFreed();
    return ran;
}

bool PulsePollingLoop::runDeferred() {
    bool ran = false;
    // By index: a callback may add events, which go to the end and wait for the next turn.
    for (std::size_t i = 0, count = m_defers.size(); i < count; ++i) {
        Defer& defer = *m_defers[i];
        if (defer.freed || !defer.enabled)
            continue;
        defer.callback(&m_api, reinterpret_cast<pa_defer_event*>(&defer), defer.userdata);
        ran = true;
    }
    return ran;
}

bool PulsePollingLoop::runReadyDescriptors(std::chrono::milliseconds wait) {
    // The lists of the last turn are used again, so that a turn allocates nothing; a turn inside a callback
    // (a connection waited for) finds them taken and makes its own.
    std::vector<pollfd> fds = std::exchange(m_spareFds, {});
    std::vector<Io*> watched = std::exchange(m_spareWatched, {});
    fds.clear();
    watched.clear();
    for (auto& io : m_io) {
        if (io->freed)
            continue;
        fds.push_back({io->fd, pollEvents(io->events), 0});
        watched.push_back(io.get());
    }
    bool ran = false;
    if (fds.empty()) {
        if (wait.count() > 0)
            ::poll(nullptr, 0, static_cast<int>(wait.count()));
    } else if (::poll(fds.data(), fds.size(), static_cast<int>(wait.count())) > 0) {
        ran = runCallbacks(fds, watched);
    }
    m_spareFds = std::move(fds);
    m_spareWatched = std::move(watched);
    return ran;
}

bool PulsePollingLoop::runCallbacks(const std::vector<pollfd>& fds, const std::vector<Io*>& watched) {
    bool ran = false;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        Io& io = *watched[i];
        // An earlier callback of this turn may have freed it or changed what it waits for.
        const pa_io_event_flags_t events = static_cast<pa_io_event_flags_t>(
            ioEvents(fds[i].revents) & (io.events | PA_IO_EVENT_HANGUP | PA_IO_EVENT_ERROR));
        if (io.freed || events == PA_IO_EVENT_NULL)
            continue;
        io.callback(&m_api, reinterpret_cast<pa_io_event*>(&io), io.fd, events, io.userdata);
        ran = true;
    }
    return ran;
}

bool PulsePollingLoop::runDueTimers() {
    bool ran = false;
    const SteadyClock::time_point now = SteadyClock::now();
    for (std::size_t i = 0, count = m_times.size(); i < count; ++i) {
        Time& time = *m_times[i];
        if (time.freed || !time.enabled || time.due > now)
            continue;
        // A timer fires once; its callback may restart it.
        time.enabled = false;
        time.callback(&m_api, reinterpret_cast<pa_time_event*>(&time), &time.asGiven, time.userdata);
        ran = true;
    }
    return ran;
}

std::chrono::milliseconds PulsePollingLoop::untilNextTimer(std::chrono::milliseconds longest) const {
    const bool deferred = std::any_of(m_defers.begin(), m_defers.end(),
                                      [](const auto& defer) { return !defer->freed && defer->enabled; });
    if (deferred)
        return std::chrono::milliseconds(0);
    std::chrono::milliseconds wait = longest;
    const SteadyClock::time_point now = SteadyClock::now();
    for (const auto& time : m_times) {
        if (!time->freed && time->enabled)
            wait = std::min(wait, std::max(std::chrono::milliseconds(0),
                                           std::chrono::ceil<std::chrono::milliseconds>(time->due - now)));
    }
    return wait;
}

void PulsePollingLoop::removeFreed() {
    if (!m_anyFreed)
        return;
    m_anyFreed = false;
    // libpulse frees a descriptor's event and makes a new one for it within one turn, around every packet
    // it reads: the new one takes the watch over, so that what the owner's loop polls stays as it is.
    for (auto& freed : m_io) {
        if (!freed->freed || !freed->watch)
            continue;
        const auto successor = std::find_if(m_io.begin(), m_io.end(), [&freed](const auto& io) {
            return !io->freed && io->fd == freed->fd && !io->watch;
        });
        if (successor != m_io.end())
            (*successor)->watch = std::move(freed->watch);
    }
    // Destroy callbacks may free further events, which the next turn removes.
    const auto remove = [this](auto& events, auto asEvent) {
        auto gone =
            std::stable_partition(events.begin(), events.end(), [](const auto& e) { return !e->freed; });
        std::remove_reference_t<decltype(events)> freed;
        std::move(gone, events.end(), std::back_inserter(freed));
        events.erase(gone, events.end());
        for (auto& event : freed) {
            if (event->destroy)
                event->destroy(&m_api, asEvent(event.get()), event->userdata);
        }
    };
    remove(m_io, [](Io* io) { return reinterpret_cast<pa_io_event*>(io); });
    remove(m_times, [](Time* time) { return reinterpret_cast<pa_time_event*>(time); });
    remove(m_defers, [](Defer* defer) { return reinterpret_cast<pa_defer_event*>(defer); });
}

pa_io_event* PulsePollingLoop::newIo(pa_mainloop_api* api, int fd, pa_io_event_flags_t events,
                                     pa_io_event_cb_t callback, void* userdata) {
    auto* self = static_cast<PulsePollingLoop*>(api->userdata);
    self->m_io.push_back(std::make_unique<Io>(Io{self, fd, events, callback, userdata}));
    return reinterpret_cast<pa_io_event*>(self->m_io.back().get());
}

void PulsePollingLoop::enableIo(pa_io_event* event, pa_io_event_flags_t events) {
    reinterpret_cast<Io*>(event)->events = events;
}

void PulsePollingLoop::freeIo(pa_io_event* event) {
    auto* io = reinterpret_cast<Io*>(event);
    io->freed = true;
    io->loop->m_anyFreed = true;
}

void PulsePollingLoop::setIoDestroy(pa_io_event* event, pa_io_event_destroy_cb_t callback) {
    reinterpret_cast<Io*>(event)->destroy = callback;
}

pa_time_event* PulsePollingLoop::newTime(pa_mainloop_api* api, const struct timeval* when,
                                         pa_time_event_cb_t callback, void* userdata) {
    auto* self = static_cast<PulsePollingLoop*>(api->userdata);
    auto time = std::make_unique<Time>(Time{self, false, {}, {}, callback, userdata});
    self->m_times.push_back(std::move(time));
    auto* event = reinterpret_cast<pa_time_event*>(self->m_times.back().get());
    restartTime(event, when);
    return event;
}

void PulsePollingLoop::restartTime(pa_time_event* event, const struct timeval* when) {
    auto* time = reinterpret_cast<Time*>(event);
    // No time disables it.
    time->enabled = when != nullptr;
    if (!when)
        return;
    time->asGiven = *when;
    time->due = steadyMoment(*when);
}

void PulsePollingLoop::freeTime(pa_time_event* event) {
    auto* time = reinterpret_cast<Time*>(event);
    time->freed = true;
    time->loop->m_anyFreed = true;
}

void PulsePollingLoop::setTimeDestroy(pa_time_event* event, pa_time_event_destroy_cb_t callback) {
    reinterpret_cast<Time*>(event)->destroy = callback;
}

pa_defer_event* PulsePollingLoop::newDefer(pa_mainloop_api* api, pa_defer_event_cb_t callback,
                                           void* userdata) {
    auto* self = static_cast<PulsePollingLoop*>(api->userdata);
    self->m_defers.push_back(std::make_unique<Defer>(Defer{self, true, callback, userdata}));
    return reinterpret_cast<pa_defer_event*>(self->m_defers.back().get());
}

void PulsePollingLoop::enableDefer(pa_defer_event* event, int enabled) {
    reinterpret_cast<Defer*>(event)->enabled = enabled != 0;
}

void PulsePollingLoop::freeDefer(pa_defer_event* event) {
    auto* defer = reinterpret_cast<Defer*>(event);
    defer->freed = true;
    defer->loop->m_anyFreed = true;
}

void PulsePollingLoop::setDeferDestroy(pa_defer_event* event, pa_defer_event_destroy_cb_t callback) {
    reinterpret_cast<Defer*>(event)->destroy = callback;
}

// Nothing of the program's asks its connections to end the loop: the owner decides when it runs.
void PulsePollingLoop::quit(pa_mainloop_api*, int) {}

} // namespace quietmon
