// The service manager's side of the program: what reaches a notification socket of the test's own.
#include "platform/linux/SystemdNotifier.h"

#include "support/NotifySocket.h"

#include <gtest/gtest.h>
#include <thread>

namespace quietmon {
namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

TEST(SystemdNotifierTest, ReadyAliveAndStoppingReachTheServiceManagerInOrder) {
    test::NotifySocket socket(400ms);
    SystemdNotifier notifier;
    EXPECT_EQ(notifier.reportIntervalMs(), 100); // a quarter of the watchdog's time-out
    notifier.ready();
    notifier.stillAlive();
    notifier.stopping();
    EXPECT_EQ(socket.texts(3), (Strings{"READY=1", "WATCHDOG=1", "STOPPING=1"}));
}

TEST(SystemdNotifierTest, OnlyTheThreadThatMadeItReportsAliveAndNoMoreOftenThanAsked) {
    test::NotifySocket socket(400ms);
    SystemdNotifier notifier;
    notifier.stillAlive();
    notifier.stillAlive(); // sooner than the interval
    // Another thread's word does not count, however long the logic thread has been silent.
    std::thread([&notifier] {
        for (int call = 0; call < 3; ++call) {
            notifier.stillAlive();
            std::this_thread::sleep_for(150ms);
        }
    }).join();
    notifier.stopping();
    EXPECT_EQ(socket.texts(2), (Strings{"WATCHDOG=1", "STOPPING=1"}));
}

TEST(SystemdNotifierTest, WithoutAWatchdogNothingIsReportedAlive) {
    test::NotifySocket socket(std::nullopt);
    SystemdNotifier notifier;
    EXPECT_EQ(notifier.reportIntervalMs(), 0);
    notifier.stillAlive();
    notifier.ready();
    EXPECT_EQ(socket.texts(1), (Strings{"READY=1"}));
}

} // namespace
} // namespace quietmon
