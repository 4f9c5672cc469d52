#include "audio/ActivationConditions.h"

#include "fakes/FakeDesktopWindows.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

int at(int hour, int minute, int second = 0, int ms = 0) {
    return TimeOfDay::fromParts(hour, minute, second, ms).milliseconds();
}

TEST(TimeCondition, IsIncludesBothEnds) {
    const TimeOfDay from = TimeOfDay::fromParts(8, 0), to = TimeOfDay::fromParts(17, 0);
    EXPECT_TRUE(timeCondition(Comparison::Is, from, to, at(8, 0)));
    EXPECT_TRUE(timeCondition(Comparison::Is, from, to, at(17, 0)));
    EXPECT_FALSE(timeCondition(Comparison::Is, from, to, at(17, 0, 0, 1)));
    EXPECT_FALSE(timeCondition(Comparison::Is, from, to, at(17, 0, 30)));
    EXPECT_FALSE(timeCondition(Comparison::Is, from, to, at(7, 59, 59, 999)));
}

TEST(TimeCondition, IsNotIsTheOutside) {
    const TimeOfDay from = TimeOfDay::fromParts(8, 0), to = TimeOfDay::fromParts(17, 0);
    EXPECT_FALSE(timeCondition(Comparison::IsNot, from, to, at(12, 0)));
    EXPECT_TRUE(timeCondition(Comparison::IsNot, from, to, at(17, 0, 30)));
}

TEST(TimeCondition, AWindowAcrossMidnightNeverHoldsAndItsNegationAlwaysDoes) {
    const TimeOfDay from = TimeOfDay::fromParts(22, 0), to = TimeOfDay::fromParts(6, 0);
    for (const int t : {at(23, 0), at(3, 0), at(12, 0), at(22, 0), at(6, 0)}) {
        EXPECT_FALSE(timeCondition(Comparison::Is, from, to, t));
        EXPECT_TRUE(timeCondition(Comparison::IsNot, from, to, t));
    }
}

TEST(TimeCondition, TwoZeroTimesHoldOnlyInTheFirstMillisecondOfTheDay) {
    EXPECT_TRUE(timeCondition(Comparison::Is, TimeOfDay(), TimeOfDay(), 0));
    EXPECT_FALSE(timeCondition(Comparison::Is, TimeOfDay(), TimeOfDay(), 1));
}

TEST(DayCondition, IsAndIsNotFollowTheTickedBoxes) {
    std::array<bool, 7> days{};
    days[0] = true; // Monday
    EXPECT_TRUE(dayCondition(Comparison::Is, days, 1));
    EXPECT_FALSE(dayCondition(Comparison::Is, days, 7));
    EXPECT_FALSE(dayCondition(Comparison::IsNot, days, 1));
    EXPECT_TRUE(dayCondition(Comparison::IsNot, days, 7));
    EXPECT_FALSE(dayCondition(Comparison::Is, std::array<bool, 7>{}, 3));
}

class CombinedCondition : public ::testing::Test {
protected:
    // Saturday 2026-03-14, 12:00: the time line "is 08:00-17:00" holds; the day line "is Monday" does not.
    bool combined(bool timeLine, bool dayLine, Combination combination) {
        ActivationSettings a;
        a.timeConditionOn = timeLine;
        a.weekdayConditionOn = dayLine;
        a.timeFrom = TimeOfDay::fromParts(8, 0);
        a.timeTo = TimeOfDay::fromParts(17, 0);
        a.weekdays[0] = true;
        a.timeAndDayCombination = combination;
        return timeAndDayCondition(a, DateTime::fromParts(2026, 3, 14, 12, 0));
    }
};

TEST_F(CombinedCondition, FollowsTheAndOrTable) {
    EXPECT_FALSE(combined(true, true, Combination::And)); // time and day
    EXPECT_TRUE(combined(true, true, Combination::Or));   // time or day
    EXPECT_TRUE(combined(true, false, Combination::And)); // time
    EXPECT_TRUE(combined(true, false, Combination::Or));
    EXPECT_FALSE(combined(false, true, Combination::And)); // day
    EXPECT_FALSE(combined(false, true, Combination::Or)); // "or" with only the day line is the day line alone
    EXPECT_TRUE(combined(false, false, Combination::And));
    EXPECT_TRUE(combined(false, false, Combination::Or));
}

TEST(WindowConditionTest, IsInForceOnlyWithItsLineTickedAndAText) {
    test::FakeDesktopWindows windows;
    ActivationSettings a;
    a.window = "Playout";
    EXPECT_EQ(windowCondition(a, windows), WindowCondition::NotInForce);
    a.windowConditionOn = true;
    a.window.clear();
    EXPECT_EQ(windowCondition(a, windows), WindowCondition::NotInForce);
    EXPECT_EQ(windows.searches, 0);
}

TEST(WindowConditionTest, MatchesTitlesOrClassesWholeWithoutRegardToCase) {
    test::FakeDesktopWindows windows;
    windows.open("Playout - Studio 1", "PlayoutMain");
    ActivationSettings a;
    a.windowConditionOn = true;
    a.window = "PLAYOUT - studio 1";
    EXPECT_EQ(windowCondition(a, windows), WindowCondition::Met);
    a.window = "Playout";
    EXPECT_EQ(windowCondition(a, windows), WindowCondition::NotMet);
    a.windowMatch = WindowMatch::ByClass;
    a.window = "playoutmain";
    EXPECT_EQ(windowCondition(a, windows), WindowCondition::Met);
    a.windowComparison = Comparison::IsNot;
    EXPECT_EQ(windowCondition(a, windows), WindowCondition::NotMet);
}

} // namespace
} // namespace quietmon
