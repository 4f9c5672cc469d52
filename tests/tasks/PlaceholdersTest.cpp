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

TEST(Placeholders, ReplacesEveryPlaceholderFromTheEvent) {
    const AlarmState state = alarmAt1405();
    EXPECT_EQ(expandPlaceholders("%date %time: %time %dayofweek %channel #%lasttask", state),
              "2026-03-14 14:05:09 14-05-09 6 Left and Right #3");
    EXPECT_EQ(expandPlaceholders("a%brb", state), "a\r\nb");
}

TEST(Placeholders, CauseTellsWhatRaisedTheAlarm) {
    struct Case {
        const char* cause;
        const char* channels;
        const char* text;
        const char* expanded;
    };
    const Case cases[] = {
        {"Silence", "Left", "Cause: %cause", "Cause: Silence"},
        {"Audio input lost", "Left", "%CAUSE since %time:", "Audio input lost since 14:05:09"},
        {"Unknown", "Left", "%cause%br", "Unknown\r\n"},
        // Expanded after the channel's name, so a name may hold it.
        {"Silence", "Left (%cause)", "%channel", "Left (Silence)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        AlarmState state = alarmAt1405();
        state.cause = c.cause;
        state.silentChannels = c.channels;
        EXPECT_EQ(expandPlaceholders(c.text, state), c.expanded);
    }
}

TEST(Placeholders, LeavesTextsWithoutPlaceholdersAlone) {
    const AlarmState state = alarmAt1405();
    EXPECT_EQ(expandPlaceholders("", state), "");
    EXPECT_EQ(expandPlaceholders("100% on air, %unknown stays", state), "100% on air, %unknown stays");
}

TEST(Placeholders, MatchesWithoutRegardToCase) {
    const AlarmState state = alarmAt1405();
    EXPECT_EQ(expandPlaceholders("%LastTask %DATE %Time", state), "3 2026-03-14 14-05-09");
}

TEST(Placeholders, ColonTimeDirectlyBeforeHyphenTime) {
    EXPECT_EQ(expandPlaceholders("%time:%time", alarmAt1405()), "14:05:0914-05-09");
}

TEST(Placeholders, AChannelNameIsExpandedOnlyByTheLaterSteps) {
    AlarmState state = alarmAt1405();
    state.silentChannels = "A%brB %lasttask %date";
    EXPECT_EQ(expandPlaceholders("%channel", state), "A\r\nB 3 %date");
}

TEST(Placeholders, TextPutInIsNotScannedAgainByTheSameStep) {
    AlarmState state = alarmAt1405();
    state.silentChannels = "%channel";
    EXPECT_EQ(expandPlaceholders("%channel", state), "%channel");
}

TEST(Placeholders, ANegativeTaskPositionKeepsItsSign) {
    AlarmState state = alarmAt1405();
    state.taskPosition = -2;
    EXPECT_EQ(expandPlaceholders("%lasttask", state), "-2");
}

TEST(UrlPlaceholders, EncodesEverythingOutsideTheSafeSet) {
    const AlarmState state = alarmAt1405();
    EXPECT_EQ(expandPlaceholdersForUrl("Silence 12:00", state), "Silence+%31%32%3A%30%30");
    EXPECT_EQ(expandPlaceholdersForUrl("a=1&b=x y", state), "a=%31&b=x+y");
    EXPECT_EQ(expandPlaceholdersForUrl("%&*-.=@_AZaz", state), "%&*-.=@_AZaz");
    EXPECT_EQ(expandPlaceholdersForUrl("t=%time:", state), "t=%31%34%3A%30%35%3A%30%39");
}

TEST(UrlPlaceholders, LineBreaksArriveAsEncodedBrTags) {
    EXPECT_EQ(expandPlaceholdersForUrl("a%brb", alarmAt1405()), "a%3Cbr%3Eb");
}

TEST(UrlPlaceholders, HighBytesAreOneEscapeEachAndAZeroByteEndsTheText) {
    const AlarmState state = alarmAt1405();
    EXPECT_EQ(expandPlaceholdersForUrl(std::string("caf\xE9"), state), "caf%E9");
    EXPECT_EQ(expandPlaceholdersForUrl(std::string("ab\0cd", 5), state), "ab");
    const std::string everything(255, '\x01');
    EXPECT_LE(expandPlaceholdersForUrl(everything, state).size(), everything.size() * 3);
}

} // namespace
} // namespace quietmon
