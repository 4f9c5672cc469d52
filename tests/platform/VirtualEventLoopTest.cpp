#include "runtime/VirtualEventLoop.h"

#include "support/TestPipe.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace quietmon {
namespace {

// Records when each tick and event ran, in virtual milliseconds.
class VirtualEventLoopTest : public ::testing::Test {
protected:
    std::unique_ptr<Timer> timer(const std::string& name, int intervalMs, bool enabled = true) {
        auto t = loop.createTimer([this, name] { record(name); });
        t->setInterval(intervalMs);
        t->setEnabled(enabled);
        return t;
    }
    void record(const std::string& what) { log.push_back(what + "@" + std::to_string(loop.elapsedMs())); }

    VirtualEventLoop loop;
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST_F(VirtualEventLoopTest, ATimerTicksAfterEachWholeInterval) {
    auto countdown = timer("tick", 1000);
    loop.advance(3500);
    EXPECT_EQ(log, (Log{"tick@1000", "tick@2000", "tick@3000"}));
    EXPECT_EQ(loop.elapsedMs(), 3500);
}

TEST_F(VirtualEventLoopTest, ALongCountdownFiresOneMillisecondAfterItsSeconds) {
    auto silence = timer("alarm", 300 * 1000 + 1);
    loop.advance(300'000);
    EXPECT_TRUE(log.empty());
    loop.advance(1);
    EXPECT_EQ(log, (Log{"alarm@300001"}));
}

TEST_F(VirtualEventLoopTest, EnablingARunningTimerDoesNotRestartIt) {
    auto countdown = timer("tick", 1000);
    loop.advance(600);
    countdown->setEnabled(true);
    loop.advance(400);
    EXPECT_EQ(log, (Log{"tick@1000"}));
}

TEST_F(VirtualEventLoopTest, DisablingDiscardsTheTimeCounted) {
    auto countdown = timer("tick", 1000);
    loop.advance(600);
    countdown->setEnabled(false);
    countdown->setEnabled(true);
    loop.advance(999);
    EXPECT_TRUE(log.empty());
    loop.advance(1);
    EXPECT_EQ(log, (Log{"tick@1600"}));
}

TEST_F(VirtualEventLoopTest, ADifferentIntervalRestartsARunningCountFromNow) {
    auto countdown = timer("tick", 1000);
    loop.advance(600);
    countdown->setInterval(500);
    loop.advance(1000);
    EXPECT_EQ(log, (Log{"tick@1100", "tick@1600"}));
}

TEST_F(VirtualEventLoopTest, TheSameIntervalChangesNothing) {
    auto countdown = timer("tick", 1000);
    loop.advance(600);
    countdown->setInterval(1000);
    loop.advance(400);
    EXPECT_EQ(log, (Log{"tick@1000"}));
}

TEST_F(VirtualEventLoopTest, AnIntervalSetOnAStoppedTimerIsOnlyStored) {
    auto countdown = timer("tick", 1000, false);
    countdown->setInterval(300);
    loop.advance(1000);
    EXPECT_TRUE(log.empty());
    countdown->setEnabled(true);
    loop.advance(300);
    EXPECT_EQ(log, (Log{"tick@1300"}));
    EXPECT_EQ(countdown->interval(), 300);
}

TEST_F(VirtualEventLoopTest, IntervalsBelowTenMillisecondsActAsTen) {
    auto zero = timer("zero", 0);
    auto five = timer("five", 5);
    loop.advance(20);
    EXPECT_EQ(log, (Log{"zero@10", "five@10", "zero@20", "five@20"}));
    EXPECT_EQ(zero->interval(), 0);
}

TEST_F(VirtualEventLoopTest, ANewTimerIsStoppedWithAOneSecondInterval) {
    auto fresh = loop.createTimer([] {});
    EXPECT_FALSE(fresh->enabled());
    EXPECT_EQ(fresh->interval(), 1000);
}

TEST_F(VirtualEventLoopTest, PostedEventsRunInOrderBeforeADueTick) {
    auto countdown = timer("tick", 100);
    loop.advance(99);
    loop.post([this] { record("buffer1"); });
    loop.post([this] { record("buffer2"); });
    loop.advance(1);
    EXPECT_EQ(log, (Log{"buffer1@99", "buffer2@99", "tick@100"}));
}

TEST_F(VirtualEventLoopTest, BuffersQueuedWhileATaskBlockedAreAllMeasuredBeforeTheDueTick) {
    auto countdown = timer("countdown", 1000);
    std::unique_ptr<Timer> task;
    task = loop.createTimer([&] {
        task->setEnabled(false);
        record("task");
        // The capture keeps filling buffers while the task blocks the thread.
        for (int i = 1; i <= 3; ++i) {
            loop.sleep(500);
            loop.post([this, i] { record("buffer" + std::to_string(i)); });
        }
    });
    task->setInterval(200);
    task->setEnabled(true);
    loop.advance(200);
    loop.runPending();
    EXPECT_EQ(log, (Log{"task@200", "buffer1@1700", "buffer2@1700", "buffer3@1700", "countdown@1700"}));
}

TEST_F(VirtualEventLoopTest, AnEventThatDisablesADueTimerKeepsItFromFiring) {
    auto countdown = timer("countdown", 1000);
    auto blocker = timer("blocker", 500);
    loop.advance(500);
    blocker->setEnabled(false);
    loop.sleep(700); // the thread is blocked past the countdown's due time
    loop.post([&] { countdown->setEnabled(false); });
    loop.runPending();
    EXPECT_EQ(log, (Log{"blocker@500"}));
}

TEST_F(VirtualEventLoopTest, AnEventThatRestartsADueTimerPutsItsTickOff) {
    auto countdown = timer("countdown", 1000);
    loop.sleep(1200);
    loop.post([&] { countdown->setInterval(2000); });
    loop.runPending();
    EXPECT_TRUE(log.empty());
    loop.advance(2000);
    EXPECT_EQ(log, (Log{"countdown@3200"}));
}

TEST_F(VirtualEventLoopTest, ADueTickFiresOnceHoweverLongTheThreadWasBlocked) {
    auto executor = timer("tick", 200);
    std::unique_ptr<Timer> blocker;
    blocker = loop.createTimer([&] {
        blocker->setEnabled(false);
        loop.sleep(10'000);
    });
    blocker->setInterval(150);
    blocker->setEnabled(true);
    loop.advance(150);
    loop.advance(250);
    // Due at 200, delivered once at 10150; the count goes on from the original due time.
    EXPECT_EQ(log, (Log{"tick@10150", "tick@10200", "tick@10400"}));
}

TEST_F(VirtualEventLoopTest, SleepsInsideHandlersMoveTimeOn) {
    DateTime seenBefore, seenAfter;
    auto sleeper = loop.createTimer([&] {
        seenBefore = loop.clock().now();
        loop.clock().sleep(1000);
        seenAfter = loop.clock().now();
    });
    sleeper->setInterval(100);
    sleeper->setEnabled(true);
    loop.advance(100);
    EXPECT_EQ(millisecondsBetween(seenBefore, seenAfter), 1000);
    EXPECT_EQ(loop.elapsedMs(), 1100);
}

TEST_F(VirtualEventLoopTest, TimersDueTogetherFireInTheOrderTheyFellDueThenCreationOrder) {
    auto second = timer("second", 300);
    auto first = timer("first", 200);
    auto third = timer("third", 300);
    loop.sleep(1000);
    loop.runPending();
    EXPECT_EQ(log, (Log{"first@1000", "second@1000", "third@1000"}));
}

TEST_F(VirtualEventLoopTest, ATimerMayBeDestroyedInItsOwnHandler) {
    std::unique_ptr<Timer> once;
    once = loop.createTimer([&] {
        record("once");
        once.reset();
    });
    once->setInterval(100);
    once->setEnabled(true);
    loop.advance(500);
    EXPECT_EQ(log, (Log{"once@100"}));
}

TEST_F(VirtualEventLoopTest, ANestedLoopInsideAHandlerDeliversOtherTimers) {
    auto executor = timer("executor", 200);
    std::unique_ptr<Timer> dialog;
    dialog = loop.createTimer([&] {
        dialog->setEnabled(false);
        record("dialog-open");
        // A modal dialog runs its own loop; the other timers keep firing meanwhile.
        loop.runUntil([&] { return log.size() >= 3; }, 10'000);
        record("dialog-closed");
    });
    dialog->setInterval(100);
    dialog->setEnabled(true);
    loop.advance(100);
    EXPECT_EQ(log, (Log{"dialog-open@100", "executor@200", "executor@400", "dialog-closed@400"}));
}

TEST_F(VirtualEventLoopTest, RunUntilStopsAtItsLimit) {
    auto slow = timer("slow", 5000);
    EXPECT_FALSE(loop.runUntil([&] { return !log.empty(); }, 1000));
    EXPECT_EQ(loop.elapsedMs(), 1000);
    EXPECT_TRUE(loop.runUntil([&] { return !log.empty(); }, 10'000));
    EXPECT_EQ(loop.elapsedMs(), 5000);
}

TEST_F(VirtualEventLoopTest, EventsMayBePostedFromOtherThreads) {
    std::vector<std::thread> workers;
    int delivered = 0;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([&] {
            for (int j = 0; j < 100; ++j)
                loop.post([&] { ++delivered; });
        });
    for (auto& worker : workers)
        worker.join();
    loop.runPending();
    EXPECT_EQ(delivered, 400);
}

TEST_F(VirtualEventLoopTest, TheClockStartsAtTheGivenMomentAndFollowsVirtualTime) {
    VirtualEventLoop dated(DateTime::fromParts(2026, 3, 14, 7, 5, 9));
    dated.advance(61'000);
    EXPECT_EQ(dated.clock().now().formatDateTime(), "2026-03-14 07:06:10");
}

TEST_F(VirtualEventLoopTest, AWatchIsCalledWhileItsDescriptorIsReadableUntilTheWatchGoes) {
    test::TestPipe pipe;
    auto watch = loop.watchReadable(pipe.reader(), [this] { record("readable"); });
    loop.runPending();
    pipe.write();
    loop.runPending();
    // Unread data calls it again.
    loop.advance(10);
    pipe.drain();
    loop.advance(10);
    pipe.write();
    watch.reset();
    loop.advance(10);
    EXPECT_EQ(log, (Log{"readable@0", "readable@0"}));
}

TEST_F(VirtualEventLoopTest, AWatchMayEndItselfAndAnotherFromItsCallbackAndItsErrorsAreHandled) {
    test::TestPipe first;
    test::TestPipe second;
    std::unique_ptr<DescriptorWatch> secondWatch;
    std::unique_ptr<DescriptorWatch> firstWatch = loop.watchReadable(first.reader(), [&] {
        record("first");
        firstWatch.reset();
        secondWatch.reset();
        throw std::runtime_error("read failed");
    });
    secondWatch = loop.watchReadable(second.reader(), [this] { record("second"); });
    std::vector<std::string> errors;
    loop.setErrorHandler([&errors](const std::string& message) { errors.push_back(message); });
    first.write();
    second.write();
    loop.runPending();
    loop.runPending();
    EXPECT_EQ(log, (Log{"first@0"}));
    EXPECT_EQ(errors, (std::vector<std::string>{"read failed"}));
}

} // namespace
} // namespace quietmon
