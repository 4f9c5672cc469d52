#include "config/IniValues.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

TEST(IniIntegers, ReadDecimalWithOptionalSign) {
    EXPECT_EQ(parseIniInteger("300"), 300);
    EXPECT_EQ(parseIniInteger("-120"), -120);
    EXPECT_EQ(parseIniInteger("+7"), 7);
    EXPECT_EQ(parseIniInteger("007"), 7);
    EXPECT_EQ(parseIniInteger("2147483647"), 2147483647);
    EXPECT_EQ(parseIniInteger("-2147483648"), -2147483647 - 1);
}

TEST(IniIntegers, ReadHexadecimalAfter0xOrDollar) {
    EXPECT_EQ(parseIniInteger("0x20"), 32);
    EXPECT_EQ(parseIniInteger("0X1f"), 31);
    EXPECT_EQ(parseIniInteger("$10"), 16);
    EXPECT_EQ(parseIniInteger("-$10"), -16);
    EXPECT_EQ(parseIniInteger("0xFFFFFFFF"), -1);
}

TEST(IniIntegers, RejectAnythingElse) {
    for (const char* text : {"", "abc", "12abc", "1.5", "1e3", "0x", "0xZZ", "0x-5", "--1", "+", "$",
                             "2147483648", "-2147483649", "0x100000000", " 5"}) {
        EXPECT_FALSE(parseIniInteger(text)) << text;
    }
}

TEST(IniTimes, ReadHoursMinutesAndSeconds) {
    EXPECT_EQ(parseIniTime("7:05"), TimeOfDay::fromParts(7, 5));
    EXPECT_EQ(parseIniTime("07:05:00"), TimeOfDay::fromParts(7, 5));
    EXPECT_EQ(parseIniTime("23:59:59"), TimeOfDay::fromParts(23, 59, 59));
    EXPECT_EQ(parseIniTime("7"), TimeOfDay::fromParts(7, 0));
    EXPECT_EQ(parseIniTime("7:05:09.250"), TimeOfDay::fromParts(7, 5, 9, 250));
}

TEST(IniTimes, ReadTwelveHourForms) {
    EXPECT_EQ(parseIniTime("7:05 PM"), TimeOfDay::fromParts(19, 5));
    EXPECT_EQ(parseIniTime("12:00am"), TimeOfDay::fromParts(0, 0));
    EXPECT_EQ(parseIniTime("12:30 PM"), TimeOfDay::fromParts(12, 30));
    EXPECT_FALSE(parseIniTime("13:00 PM"));
}

TEST(IniTimes, RejectImpossibleTimes) {
    for (const char* text :
         {"", "abc", "24:00", "12:60", "12:00:60", "12:", "12:00:", "1:2:3:4", "12-00", "7:05 xx"})
        EXPECT_FALSE(parseIniTime(text)) << text;
}

TEST(IniValues, AreWrittenInTheFilesForms) {
    EXPECT_EQ(iniBool(true), "1");
    EXPECT_EQ(iniBool(false), "0");
    EXPECT_EQ(iniInteger(-40), "-40");
    EXPECT_EQ(iniTime(TimeOfDay::fromParts(7, 5)), "07:05:00");
}

} // namespace
} // namespace quietmon
