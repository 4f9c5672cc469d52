#include "app/QtEventLoop.h"

#include "support/TestPipe.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace quietmon {
namespace {

// The desktop loop in real time: short intervals, checked for order rather than exact moments.
class QtEventLoopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "quietmon_gui_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }

    // Runs Qt's event loop until `done` holds or `limitMs` of real time passed.
    static bool spinUntil(const std::function<bool()>& done, int limitMs = 5000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (!done() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        return done();
    }

    QtEventLoop loop;
    std::vector<std::string> log;
};

TEST_F(QtEventLoopTest, ATimerTicksNoEarlierThanItsInterval) {
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration firstTick{};
    auto timer = loop.createTimer([&] {
        if (log.empty())
            firstTick = std::chrono::steady_clock::now() - start;
        log.push_back("tick");
    });
    timer->setInterval(50);
    timer->setEnabled(true);
    ASSERT_TRUE(spinUntil([&] { return log.size() >= 3; }));
    EXPECT_GE(firstTick, std::chrono::milliseconds(50));
}

TEST_F(QtEventLoopTest, EnablingARunningTimerDoesNotRestartIt) {
    auto timer = loop.createTimer([&] { log.push_back("tick"); });
    timer->setInterval(200);
    timer->setEnabled(true);
    const auto start = std::chrono::steady_clock::now();
    // Re-enabled every 20 ms, as every measured buffer does with a running countdown.
    QTimer poker;
    QObject::connect(&poker, &QTimer::timeout, [&] { timer->setEnabled(true); });
    poker.start(20);
    ASSERT_TRUE(spinUntil([&] { return !log.empty(); }, 2000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
}

TEST_F(QtEventLoopTest, EventsPostedFromAnotherThreadRunBeforeADueTick) {
    auto timer = loop.createTimer([&] { log.push_back("tick"); });
    timer->setInterval(10);
    timer->setEnabled(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(30)); // the tick is due
    std::thread worker([&] {
        loop.post([&] { log.push_back("buffer1"); });
        loop.post([&] {
            log.push_back("buffer2");
            timer->setEnabled(false);
        });
    });
    worker.join();
    spinUntil([&] { return log.size() >= 2; });
    spinUntil([] { return false; }, 50);
    EXPECT_EQ(log, (std::vector<std::string>{"buffer1", "buffer2"}));
}

TEST_F(QtEventLoopTest, AWatchdogRestartedByEveryBufferFiresOnlyAfterTheBuffersStop) {
    // Buffers posted from a capture thread restart the watchdog (a new interval restarts a running
    // timer); the loop's wake-up stays set for the first due moment and must find nothing due then.
    std::chrono::steady_clock::time_point lastBuffer, fired;
    auto watchdog = loop.createTimer([&] {
        fired = std::chrono::steady_clock::now();
        log.push_back("watchdog");
    });
    watchdog->setInterval(100);
    watchdog->setEnabled(true);
    std::atomic<bool> capturing{true};
    std::thread capture([&] {
        for (int buffer = 0; buffer < 15; ++buffer) {
            loop.post([&, buffer] {
                lastBuffer = std::chrono::steady_clock::now();
                watchdog->setInterval(buffer % 2 == 0 ? 100 : 101);
                log.push_back("buffer");
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        capturing = false;
    });
    const bool firedAfterTheLastBuffer =
        spinUntil([&] { return !capturing && !log.empty() && log.back() == "watchdog"; });
    capture.join();
    ASSERT_TRUE(firedAfterTheLastBuffer);
    EXPECT_EQ(std::count(log.begin(), log.end(), "watchdog"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "buffer"), 15);
    // The loop counts whole milliseconds.
    EXPECT_GE(fired - lastBuffer, std::chrono::milliseconds(99));
}

TEST_F(QtEventLoopTest, ADueTickFiresOnceAfterTheThreadWasBlocked) {
    std::vector<std::chrono::steady_clock::time_point> ticks;
    auto timer = loop.createTimer([&] { ticks.push_back(std::chrono::steady_clock::now()); });
    timer->setInterval(20);
    timer->setEnabled(true);
    loop.clock().sleep(200); // ten intervals pass while the thread is blocked
    ASSERT_TRUE(spinUntil([&] { return ticks.size() >= 2; }));
    // The missed ticks are not made up for: the second comes on the timer's own pace.
    EXPECT_GE(ticks[1] - ticks[0], std::chrono::milliseconds(5));
}

TEST_F(QtEventLoopTest, TicksGoOnWhileAHandlerRunsADialogsLoop) {
    // A task's message box runs a loop of its own inside a tick; the capture and the countdowns must
    // not stop while it is open.
    int ticks = 0;
    auto tick = loop.createTimer([&] { ++ticks; });
    tick->setInterval(20);
    tick->setEnabled(true);
    int ticksInsideTheDialog = -1;
    std::unique_ptr<Timer> opener;
    opener = loop.createTimer([&] {
        opener->setEnabled(false);
        const int before = ticks;
        QEventLoop dialog;
        QTimer::singleShot(300, &dialog, &QEventLoop::quit);
        dialog.exec();
        ticksInsideTheDialog = ticks - before;
    });
    opener->setInterval(30);
    opener->setEnabled(true);
    ASSERT_TRUE(spinUntil([&] { return ticksInsideTheDialog >= 0; }));
    EXPECT_GE(ticksInsideTheDialog, 5);
}

TEST_F(QtEventLoopTest, AReadableDescriptorWakesTheLoopAndWhatItsCallbackPostsRunsAtOnce) {
    test::TestPipe pipe;
    auto watch = loop.watchReadable(pipe.reader(), [&] {
        pipe.drain();
        log.push_back("readable");
        loop.post([&] { log.push_back("posted"); });
    });
    std::thread writer([&pipe] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pipe.write();
    });
    ASSERT_TRUE(spinUntil([&] { return log.size() >= 2; }));
    writer.join();
    EXPECT_EQ(log, (std::vector<std::string>{"readable", "posted"}));
    // No longer once the watch is gone.
    watch.reset();
    pipe.write();
    spinUntil([] { return false; }, 100);
    EXPECT_EQ(log.size(), 2u);
}

} // namespace
} // namespace quietmon
