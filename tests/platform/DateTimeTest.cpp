#include "runtime/DateTime.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

TEST(DateTime, CountsDaysFromTheZeroDate) {
    EXPECT_EQ(DateTime::fromParts(1899, 12, 30).milliseconds(), 0);
    EXPECT_DOUBLE_EQ(DateTime::fromParts(1900, 1, 1).days(), 2.0);
    // 2026-03-14 is day 46095; noon adds half a day.
    EXPECT_DOUBLE_EQ(DateTime::fromParts(2026, 3, 14, 12, 0, 0).days(), 46095.5);
    EXPECT_TRUE(DateTime().isZero());
}

TEST(DateTime, SplitsIntoCalendarPartsAndBack) {
    const DateTime moment = DateTime::fromParts(2026, 3, 14, 7, 5, 9, 123);
    EXPECT_EQ(moment.year(), 2026);
    EXPECT_EQ(moment.month(), 3);
    EXPECT_EQ(moment.day(), 14);
    EXPECT_EQ(moment.hour(), 7);
    EXPECT_EQ(moment.minute(), 5);
    EXPECT_EQ(moment.second(), 9);
    EXPECT_EQ(moment.millisecond(), 123);
    EXPECT_EQ(moment.msOfDay(), ((7 * 60 + 5) * 60 + 9) * 1000 + 123);
}

TEST(DateTime, HandlesLeapDaysAndCenturies) {
    EXPECT_EQ(DateTime::fromParts(2024, 2, 29).addMilliseconds(DateTime::msPerDay).formatIsoDate(),
              "2024-03-01");
    EXPECT_EQ(DateTime::fromParts(2100, 2, 28).addMilliseconds(DateTime::msPerDay).formatIsoDate(),
              "2100-03-01");
    EXPECT_EQ(DateTime::fromParts(2000, 2, 28).addMilliseconds(DateTime::msPerDay).formatIsoDate(),
              "2000-02-29");
}

TEST(DateTime, NumbersWeekdaysFromMondayOne) {
    EXPECT_EQ(DateTime::fromParts(1899, 12, 30).isoWeekday(), 6); // a Saturday
    EXPECT_EQ(DateTime::fromParts(2026, 1, 5, 23, 59, 59).isoWeekday(), 1);
    EXPECT_EQ(DateTime::fromParts(2026, 12, 6).isoWeekday(), 7);
    EXPECT_EQ(DateTime::fromParts(2026, 12, 7).isoWeekday(), 1);
}

TEST(DateTime, FormatsInTheProgramsFiveForms) {
    const DateTime moment = DateTime::fromParts(2026, 3, 4, 7, 5, 9);
    EXPECT_EQ(moment.formatIsoDate(), "2026-03-04");
    EXPECT_EQ(moment.formatTime(), "07:05:09");
    EXPECT_EQ(moment.formatDayMonthYear(), "4.03.2026");
    EXPECT_EQ(moment.formatDayMonth(), "4.03");
    EXPECT_EQ(moment.formatShortTime(), "7:05");
    EXPECT_EQ(moment.formatDateTime(), "2026-03-04 07:05:09");
    EXPECT_EQ(DateTime::fromParts(2026, 12, 31, 23, 59, 59, 999).formatShortTime(), "23:59");
}

TEST(DateTime, WholeSecondsBetweenAreTruncatedInEitherOrder) {
    const DateTime start = DateTime::fromParts(2026, 3, 14, 12, 0, 0);
    EXPECT_EQ(secondsBetween(start, start.addMilliseconds(29'999)), 29);
    EXPECT_EQ(secondsBetween(start.addMilliseconds(30'000), start), 30);
    EXPECT_EQ(secondsBetween(start, start.addMilliseconds(999)), 0);
    EXPECT_EQ(millisecondsBetween(start.addMilliseconds(-5), start), 5);
    // From the zero date, as a passed start-up delay compares.
    EXPECT_GT(secondsBetween(DateTime(), start), 3'600'000'000LL);
}

TEST(TimeOfDay, FormatsWithTwoDigitHours) {
    EXPECT_EQ(TimeOfDay::fromParts(7, 5).format(), "07:05:00");
    EXPECT_EQ(TimeOfDay::fromParts(23, 59, 59, 999).format(), "23:59:59");
    EXPECT_EQ(TimeOfDay().format(), "00:00:00");
}

} // namespace
} // namespace quietmon
