#include "tasks/Placeholders.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

// An alarm at Saturday 2026-03-14 14:05:09, both channels silent, the third entry running.
AlarmState alarmAt1405() {
    AlarmState state;
    state.eventTime = DateTime::fromParts(2026, 3, 14, 14, 5, 9);
    state.silentChannels = "Left and Right";
    state.taskPosition = 3;
    return state;
}

TEST(Nahradit, ReplacesEveryPlaceholderFromTheEvent) {
    const AlarmState state = alarmAt1405();
    EXPECT_EQ(Nahradit("%date %time: %time %dayofweek %channel #%lasttask", state),
              "2026-03-14 14:05:09 14-05-09 6 Left and Right #3");
    EXPECT_EQ(Nahradit("a%brb", state), "a\r\nb");
}

TEST(Nahradit, LeavesTextsWithoutPlaceholdersAlone) {
    const AlarmState state = alarmAt1405();
    EXPECT_EQ(Nahradit("", state), "");
    EXPECT_EQ(Nahradit("100% on air, %unknown stays", state), "100% on air, %unknown stays");
}

TEST(Nahradit, MatchesWithoutRegardToCase) {
    const AlarmState state = alarmAt1405();
    EXPECT_EQ(Nahradit("%LastTask %DATE %Time", state), "3 2026-03-14 14-05-09");
}

TEST(Nahradit, ColonTimeDirectlyBeforeHyphenTime) {
    EXPECT_EQ(Nahradit("%time:%time", alarmAt1405()), "14:05:0914-05-09");
}

TEST(Nahradit, AChannelNameIsExpandedOnlyByTheLaterSteps) {
    AlarmState state = alarmAt1405();
    state.silentChannels = "A%brB %lasttask %date";
    EXPECT_EQ(Nahradit("%channel", state), "A\r\nB 3 %date");
}

TEST(Nahradit, TextPutInIsNotScannedAgainByTheSameStep) {
    AlarmState state = alarmAt1405();
    state.silentChannels = "%channel";
    EXPECT_EQ(Nahradit("%channel", state), "%channel");
}

TEST(Nahradit, ANegativeTaskPositionKeepsItsSign) {
    AlarmState state = alarmAt1405();
    state.taskPosition = -2;
    EXPECT_EQ(Nahradit("%lasttask", state), "-2");
}

TEST(NahraditHTTP, EncodesEverythingOutsideTheSafeSet) {
    const AlarmState state = alarmAt1405();
    EXPECT_EQ(NahraditHTTP("Silence 12:00", state), "Silence+%31%32%3A%30%30");
    EXPECT_EQ(NahraditHTTP("a=1&b=x y", state), "a=%31&b=x+y");
    EXPECT_EQ(NahraditHTTP("%&*-.=@_AZaz", state), "%&*-.=@_AZaz");
    EXPECT_EQ(NahraditHTTP("t=%time:", state), "t=%31%34%3A%30%35%3A%30%39");
}

TEST(NahraditHTTP, LineBreaksArriveAsEncodedBrTags) {
    EXPECT_EQ(NahraditHTTP("a%brb", alarmAt1405()), "a%3Cbr%3Eb");
}

TEST(NahraditHTTP, HighBytesAreOneEscapeEachAndAZeroByteEndsTheText) {
    const AlarmState state = alarmAt1405();
    EXPECT_EQ(NahraditHTTP(std::string("caf\xE9"), state), "caf%E9");
    EXPECT_EQ(NahraditHTTP(std::string("ab\0cd", 5), state), "ab");
    const std::string everything(255, '\x01');
    EXPECT_LE(NahraditHTTP(everything, state).size(), everything.size() * 3);
}

} // namespace
} // namespace quietmon
