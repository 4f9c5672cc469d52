#include "tasks/StartUpDelay.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

const DateTime start = DateTime::fromParts(2026, 3, 14, 12, 0);

TEST(StartUpDelay, HoldsForItsWholeSecondsAndNeverAgainOncePassed) {
    StartUpDelay delay;
    delay.start(start);
    EXPECT_TRUE(delay.holds(start.addMilliseconds(29'999), 30));
    EXPECT_FALSE(delay.holds(start.addMilliseconds(30'000), 30));
    // A longer delay set in Setup after it passed does not bring it back.
    EXPECT_FALSE(delay.holds(start.addMilliseconds(31'000), 3600));
}

TEST(StartUpDelay, HoldsNothingBeforeARunStarts) {
    StartUpDelay delay;
    EXPECT_FALSE(delay.holds(start, 3600));
}

} // namespace
} // namespace quietmon
