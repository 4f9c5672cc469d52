#pragma once

#include "runtime/VirtualEventLoop.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace quietmon::test {

// The logic thread of a test whose worker threads are real: a virtual-time loop that also wakes the test
// when a worker posts, so that the test waits for events instead of sleeping.
class WakingEventLoop final : public EventLoop {
public:
    WakingEventLoop() = default;
    explicit WakingEventLoop(DateTime start) : m_loop(start) {}

    Clock& clock() override { return m_loop.clock(); }
    std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override {
        return m_loop.createTimer(std::move(onTick));
    }
    void post(std::function<void()> event) override {
        m_loop.post(std::move(event));
        {
            std::lock_guard lock(m_mutex);
            ++m_posts;
        }
        m_posted.notify_all();
    }
    std::unique_ptr<DescriptorWatch> watchReadable(int fd, std::function<void()> onReadable) override {
        return m_loop.watchReadable(fd, std::move(onReadable));
    }
    void setErrorHandler(std::function<void(const std::string& message)> onError) override {
        m_loop.setErrorHandler(std::move(onError));
    }
    void runGuarded(const std::function<void()>& handler) override { m_loop.runGuarded(handler); }

    // Delivers posted events as they come until `done` holds or `timeout` of real time passed.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            m_loop.runPending();
            if (done())
                return true;
            std::unique_lock lock(m_mutex);
            if (!m_posted.wait_until(lock, deadline, [this] { return m_posts != m_seen; }))
                return false;
            m_seen = m_posts;
        }
    }
    // Waits for a post not seen yet, without delivering it.
    bool waitForPost(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        if (!m_posted.wait_for(lock, timeout, [this] { return m_posts != m_seen; }))
            return false;
        m_seen = m_posts;
        return true;
    }
    // Delivers what is posted by now.
    void runPending() { m_loop.runPending(); }

private:
    VirtualEventLoop m_loop;
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::uint64_t m_posts = 0;
    std::uint64_t m_seen = 0;
};

} // namespace quietmon::test
