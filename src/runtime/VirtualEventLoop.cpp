#include "runtime/VirtualEventLoop.h"

#include <algorithm>

namespace quietmon {

VirtualEventLoop::VirtualEventLoop(DateTime start)
    : m_start(start),
      m_scheduler({.monotonicMs = [this] { return m_elapsedMs; }, .scheduleChanged = {}, .eventPosted = {}}) {
}

DateTime VirtualEventLoop::now() const {
    return m_start.addMilliseconds(m_elapsedMs);
}

void VirtualEventLoop::sleep(int ms) {
    m_elapsedMs += std::max(ms, 0);
}

std::unique_ptr<Timer> VirtualEventLoop::createTimer(std::function<void()> onTick) {
    return m_scheduler.createTimer(std::move(onTick));
}

void VirtualEventLoop::post(std::function<void()> event) {
    m_scheduler.post(std::move(event));
}

std::unique_ptr<DescriptorWatch> VirtualEventLoop::watchReadable(int fd, std::function<void()> onReadable) {
    return m_watches.add(fd, std::move(onReadable));
}

void VirtualEventLoop::runReadableWatches() {
    m_watches.pollAndRun(
        [this](const std::function<void()>& onReadable) { m_scheduler.runGuarded(onReadable); });
}

void VirtualEventLoop::runPending() {
    runReadableWatches();
    m_scheduler.runReady({.maxTicks = {}, .dueBy = m_elapsedMs});
}

void VirtualEventLoop::advance(std::int64_t ms) {
    const std::int64_t target = m_elapsedMs + std::max<std::int64_t>(ms, 0);
    for (;;) {
        runReadableWatches();
        m_scheduler.runReady({.maxTicks = {}, .dueBy = target});
        const auto next = m_scheduler.nextDueMs();
        if (!next || *next > target)
            break;
        m_elapsedMs = std::max(m_elapsedMs, *next);
    }
    m_elapsedMs = std::max(m_elapsedMs, target);
}

bool VirtualEventLoop::runUntil(const std::function<bool()>& done, std::int64_t limitMs) {
    const std::int64_t limit = m_elapsedMs + std::max<std::int64_t>(limitMs, 0);
    for (;;) {
        runReadableWatches();
        m_scheduler.runReady({.maxTicks = 1, .dueBy = limit});
        if (done())
            return true;
        if (m_scheduler.hasPostedEvents())
            continue;
        const auto next = m_scheduler.nextDueMs();
        if (next && *next <= std::min(m_elapsedMs, limit))
            continue;
        if (!next || *next > limit) {
            m_elapsedMs = std::max(m_elapsedMs, limit);
            return done();
        }
        m_elapsedMs = *next;
    }
}

} // namespace quietmon
