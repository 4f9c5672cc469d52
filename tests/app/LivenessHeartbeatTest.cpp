// The logic thread's reports to systemd's watchdog, on the desktop's loop in real time, heard on a
// notification socket of the test's own: they go on while the loop idles and through the clock's waits,
// and stop while a handler is stuck outside any wait.
#include "monitor/LivenessHeartbeat.h"

#include "app/QtEventLoop.h"
#include "platform/linux/SystemdNotifier.h"
#include "support/NotifySocket.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <gtest/gtest.h>
#include <thread>

namespace quietmon {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

void spinFor(std::chrono::milliseconds span) {
    const auto end = Clock::now() + span;
    while (Clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

TEST(LivenessHeartbeatTest, TheLoopReportsAliveWhileIdleAndInWaitsButNotWhileAHandlerIsStuck) {
    test::NotifySocket socket(2000ms); // a report every 500 ms
    SystemdNotifier notifier;
    QtEventLoop loop(notifier);
    const LivenessHeartbeat heartbeat(loop, notifier);

    const auto idleFrom = Clock::now();
    spinFor(1600ms);
    const auto idleTo = Clock::now();

    Clock::time_point waitFrom, waitTo, stuckFrom, stuckTo;
    loop.post([&] {
        waitFrom = Clock::now();
        loop.clock().sleep(2500);
        waitTo = Clock::now();
    });
    loop.post([&] {
        stuckFrom = Clock::now();
        std::this_thread::sleep_for(2000ms); // blocked outside every wait that reports
        stuckTo = Clock::now();
    });
    spinFor(5500ms);
    ASSERT_NE(stuckTo, Clock::time_point());

    EXPECT_GE(socket.countOf("WATCHDOG=1", idleFrom, idleTo), 2u);
    EXPECT_LT(socket.longestSilence("WATCHDOG=1", idleFrom, idleTo), 1000ms);
    EXPECT_GE(socket.countOf("WATCHDOG=1", waitFrom, waitTo), 2u);
    EXPECT_LT(socket.longestSilence("WATCHDOG=1", waitFrom, waitTo), 1600ms);
    // A message stamped just after the stuck handler began was sent before it.
    EXPECT_EQ(socket.countOf("WATCHDOG=1", stuckFrom + 50ms, stuckTo), 0u);
    EXPECT_GE(socket.countOf("WATCHDOG=1", stuckTo, Clock::now()), 1u); // and they come back after
}

} // namespace
} // namespace quietmon
