// The logic thread's waits that may outlast a watchdog report the thread alive while they last: a
// notification socket of the test's own hears WATCHDOG=1 all through each.
#include "platform/linux/SystemdNotifier.h"
#include "runtime/SystemClock.h"
#include "support/NotifySocket.h"

#include <functional>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

using namespace std::chrono_literals;

struct BlockingWait {
    const char* name;
    std::function<void(Liveness&)> wait; // holds the thread about 2.5 s
};

TEST(WaitsReportAliveTest, EveryLongWaitOfTheLogicThreadReportsItAliveWhileItLasts) {
    const BlockingWait waits[] = {
        {"the clock's sleep (Delay, a held pin, the kill task's checks)",
         [](Liveness& liveness) { SystemClock(liveness).sleep(2500); }},
    };
    for (const BlockingWait& wait : waits) {
        SCOPED_TRACE(wait.name);
        test::NotifySocket socket(4000ms); // reports every 1000 ms are asked for
        SystemdNotifier notifier;
        const auto from = std::chrono::steady_clock::now();
        wait.wait(notifier);
        const auto to = std::chrono::steady_clock::now();
        socket.texts(2);
        EXPECT_GE(to - from, 2400ms);
        // A message is stamped when the socket's thread reads it, a little after it was sent.
        EXPECT_GE(socket.countOf("WATCHDOG=1", from, to + 100ms), 2u);
        EXPECT_LT(socket.longestSilence("WATCHDOG=1", from, to), 2000ms); // half the time-out
    }
}

} // namespace
} // namespace quietmon
