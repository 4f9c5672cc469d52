#pragma once

#include "runtime/VirtualEventLoop.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace quietmon::test {

// Runs `loop` with virtual time following real time, so that the drivers' timers tick when they would and
// their descriptors are read about every 10 ms, until `done` holds or `limit` of real time passed.
inline bool runInRealTime(VirtualEventLoop& loop, std::chrono::milliseconds limit,
                          const std::function<bool()>& done) {
    const auto start = std::chrono::steady_clock::now();
    auto advanced = std::chrono::milliseconds(0);
    while (!done() && advanced < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto now =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        loop.advance(static_cast<int>((now - advanced).count()));
        advanced = now;
    }
    return done();
}

// The wake-ups a reader of the sound server gives the logic thread: each call of a descriptor watch and
// each timer tick.
class WakeUpCountingLoop final : public EventLoop {
public:
    explicit WakeUpCountingLoop(VirtualEventLoop& loop) : m_loop(loop) {}

    Clock& clock() override { return m_loop.clock(); }
    std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override {
        return m_loop.createTimer([this, onTick = std::move(onTick)] {
            ++wakeUps;
            onTick();
        });
    }
    void post(std::function<void()> event) override { m_loop.post(std::move(event)); }
    std::unique_ptr<DescriptorWatch> watchReadable(int fd, std::function<void()> onReadable) override {
        return m_loop.watchReadable(fd, [this, onReadable = std::move(onReadable)] {
            ++wakeUps;
            onReadable();
        });
    }
    void setErrorHandler(std::function<void(const std::string& message)> onError) override {
        m_loop.setErrorHandler(std::move(onError));
    }
    void runGuarded(const std::function<void()>& handler) override { m_loop.runGuarded(handler); }

    int wakeUps = 0;

private:
    VirtualEventLoop& m_loop;
};

} // namespace quietmon::test
