#include "config/SettingsStore.h"

#include "config/taskkinds/DelaySettings.h"
#include "config/taskkinds/EmailSettings.h"
#include "config/taskkinds/PortPinSettings.h"
#include "config/taskkinds/RebootSettings.h"
#include "config/taskkinds/RepeatSettings.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quietmon {
namespace {

const DateTime savedAt = DateTime::fromParts(2026, 3, 14, 7, 5, 9);

std::string crlf(const std::string& lines) {
    std::string out;
    for (char c : lines) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

Settings loaded(const std::string& text) {
    const IniFile file = IniFile::parse(text);
    Settings settings = defaultSettings("Orvane Silence Detector");
    loadWindowKeys(file, settings);
    loadSetupKeys(file, settings);
    return settings;
}

std::string saved(const Settings& settings, const std::string& existing = "") {
    IniFile file = IniFile::parse(existing);
    writeSettings(file, settings, savedAt);
    return file.text();
}

// Every key of the save sequence with its default, sections in the order of their first write.
const std::string freshFile = crlf(R"([General]
Top=10
Left=100
Visible=1
Threshold=25
Title=Orvane Silence Detector 
LeftName=Left
RightName=Right
Alarm=0
DateTime=2026-03-14 07:05:09
LastTask=999
Repeats=0
IdlePriority=0
UseSystemFont=1
AlwaysOnTop=0
LockTrackbar=0
LogEvents=0
DCFilter=1
InternalPlayer=0
StopPlayer=1
StartUpDelay=30
PeakHoldTime=100
MinThreshold=-40
AudioInDevice=0
AudioInDeviceName=(Default)
StartUpStatus=0
SetupPassword=
StatusAddress=
StatusToken=
StreamAddress=
LastSilence=

[Activation]
Condition2=0
Condition3=0
Condition4=0
BreakQueue=0
Channels=0
Monday=0
Tuesday=0
Wednesday=0
Thursday=0
Friday=0
Saturday=0
Sunday=0
Silence=300
Return=1
TimeOperator=0
DayOperator=0
WindowOperator=0
AlarmOperator=0
TitleClass=0
Time1=00:00:00
Time2=00:00:00
Window=

[Email]
From=@
To=@
Subject=Orvane Silence Detector Message
Message=Silence detected - %date %time
ReturnMessage=Silence detected - %date %time
SMTP=
File=
Username=
Password=
Authentization=0
SSL=0
TrustedCertificate=
AttachLevelGraph=0
AttachAudioClip=0

[RetEmail]
From=@
To=@
Subject=Orvane Silence Detector Message
Message=%date %time - We are on-air again!
ReturnMessage=Silence detected - %date %time
SMTP=
File=
Username=
Password=
Authentization=0
SSL=0
TrustedCertificate=
AttachLevelGraph=0
AttachAudioClip=0

[Kill]
Title1=
Class1=
Title2=
Class2=

[RetKill]
Title1=
Class1=
Title2=
Class2=

[Port]
COMPort=0
Pin=0
For=1
Limited=1
Full=0
Forever=0
Device=

[Query]
Address=http://
Query==

[RetQuery]
Address=http://
Query==

[Screenshot]
File=
DeactivateScrSaver=0

[RetScreenshot]
File=
DeactivateScrSaver=0

[Open1]
File1=
File2=
File3=
Params1=
Params2=
Params3=

[Open2]
File1=
File2=
File3=
Params1=
Params2=
Params3=

[RetOpen]
File1=
File2=
File3=
Params1=
Params2=
Params3=

[Speak]
Text=

[Repeat]
FromLine=1
Maximum=5

[Delay]
Delay=1

[RetDelay]
Delay=1

[Reboot]
Reboot=0
DoReboot=1
DoShutdown=0

[Tasks]
Task1=
Task2=
Task3=
Task4=
Task5=
Task6=
Task7=
Task8=
Task9=
Task10=
Task11=
Task12=
Task13=
Task14=
Task15=
Task16=
Task17=
Task18=
Task19=
Task20=
Task21=
Task22=
Task23=
Task24=
Task25=
Task26=
Task27=
Task28=
Task29=
Task30=
Task31=
Task32=

[RetTasks]
Task1=
Task2=
Task3=
Task4=
Task5=
Task6=
Task7=
Task8=
)");

TEST(SettingsSave, AFreshStartSavesEveryKeyWithItsDefault) {
    EXPECT_EQ(saved(loaded("")), freshFile);
}

// Every key set away from its default: read and saved into an empty file, it comes back byte for byte, so
// each key keeps its section, its place and its spelling.
TEST(SettingsSave, AFullySetFileSavesBackUnchanged) {
    const std::string fullySet = test::readWholeFile(QUIETMON_FULLY_SET_SETTINGS);
    ASSERT_NE(fullySet.find("[RetTasks]"), std::string::npos);
    EXPECT_EQ(saved(loaded(fullySet)), fullySet);
}

TEST(SettingsSave, SavingAgainOverItsOwnFileChangesOnlyTheTrimmedTitle) {
    // Values are read trimmed, so the default title's trailing space does not survive a reload.
    std::string expected = freshFile;
    expected.replace(expected.find("Detector \r"), 10, "Detector\r");
    const std::string second = saved(loaded(freshFile), freshFile);
    EXPECT_EQ(second, expected);
    EXPECT_EQ(saved(loaded(second), second), second);
}

TEST(SettingsSave, KeepsLinesItDoesNotKnowAndReplacesValuesInPlace) {
    const std::string handMade = "; station A\n[Custom]\nnote=keep me\n[Activation]\nSilence=20\nExtra=1\n";
    const std::string text = saved(loaded(handMade), handMade);
    EXPECT_TRUE(text.starts_with("; station A\n[Custom]\nnote=keep me\n[Activation]\nSilence=20\nExtra=1\n"
                                 "Condition2=0\n"));
    EXPECT_EQ(IniFile::parse(text).read("General", "Top"), "10");
}

TEST(SettingsLoad, ClampsNumberFieldsIntoTheirRanges) {
    const Settings s = loaded("[Activation]\nSilence=0\nReturn=9999\n[General]\nMinThreshold=-120\n"
                              "StartUpDelay=abc\nPeakHoldTime=5\n[Port]\nFor=11\n[Repeat]\nFromLine=0\n"
                              "Maximum=1000\n[Delay]\nDelay=0\n[RetDelay]\nDelay=31\n");
    EXPECT_EQ(s.activation.silenceSeconds, 1);
    EXPECT_EQ(s.activation.returnSeconds, 3600);
    EXPECT_EQ(s.general.minThreshold, -96);
    EXPECT_EQ(s.general.startUpDelay, 30);
    EXPECT_EQ(s.general.peakHoldTime, 100);
    EXPECT_EQ(s.alarmQueue.of<TaskKind::SwitchPortPin>().forSeconds, 10);
    EXPECT_EQ(s.alarmQueue.of<TaskKind::Repeat>().fromLine, 1);
    EXPECT_EQ(s.alarmQueue.of<TaskKind::Repeat>().maximum, 999);
    EXPECT_EQ(s.alarmQueue.of<TaskKind::Delay>().seconds, 1);
    EXPECT_EQ(s.returnQueue.of<TaskKind::Delay>().seconds, 30);
}

TEST(SettingsLoad, AListChoiceOutsideItsListSelectsNoLineAndSavesAsMinusOne) {
    const Settings s = loaded("[Port]\nCOMPort=300\nPin=5\n[Activation]\nChannels=4\nTimeOperator=-1\n"
                              "[General]\nStartUpStatus=3\n");
    EXPECT_EQ(s.alarmQueue.of<TaskKind::SwitchPortPin>().portLine, -1);
    EXPECT_EQ(s.alarmQueue.of<TaskKind::SwitchPortPin>().pin, std::nullopt);
    EXPECT_EQ(s.activation.channels, std::nullopt);
    EXPECT_EQ(s.activation.timeComparison, std::nullopt);
    EXPECT_EQ(s.general.startUpStatus, std::nullopt);
    const IniFile file = IniFile::parse(saved(s));
    EXPECT_EQ(file.read("Port", "COMPort"), "-1");
    EXPECT_EQ(loaded("[Port]\nCOMPort=254\n").alarmQueue.of<TaskKind::SwitchPortPin>().portLine, 254);
}

struct StateCase {
    const char* stored;
    std::optional<int> lastTask; // none: no queue to carry on
    int repeats;
};

// The alarm queue's position and repeat count from a hand-edited file: a resumed queue must still end.
// A position below 1 (or 999) ends the queue at once; a queue has at most 32 entries; a run takes at most
// 999 repeats, and 99999 is the count the program saves when no queue may repeat.
const StateCase stateCases[] = {
    {"LastTask=0\nRepeats=0\n", std::nullopt, 0},
    {"LastTask=-4\nRepeats=-1\n", std::nullopt, 0},
    {"LastTask=1\nRepeats=5\n", 1, 5},
    {"LastTask=32\nRepeats=99999\n", 32, 99999},
    {"LastTask=33\nRepeats=100000\n", 32, 99999},
    {"LastTask=999\nRepeats=-1000000\n", std::nullopt, 0},
    {"LastTask=1000\nRepeats=2147483647\n", 32, 99999},
    {"LastTask=-2147483648\nRepeats=-2147483648\n", std::nullopt, 0},
    {"LastTask=abc\nRepeats=abc\n", std::nullopt, 0},
};

TEST(SettingsLoad, TheQueuePositionAndRepeatCountAreBroughtIntoTheirRanges) {
    for (const StateCase& c : stateCases) {
        const Settings s = loaded(std::string("[General]\n") + c.stored);
        EXPECT_EQ(s.state.lastTask, c.lastTask) << c.stored;
        EXPECT_EQ(s.state.repeatCount, c.repeats) << c.stored;
    }
}

TEST(SettingsLoad, ReadsHexadecimalAndShortTimes) {
    const Settings s = loaded("[General]\nThreshold=0x20\n[Activation]\nTime1=7:05\nTime2=nonsense\n");
    EXPECT_EQ(s.state.threshold, 32);
    EXPECT_EQ(s.activation.timeFrom, TimeOfDay::fromParts(7, 5));
    EXPECT_EQ(s.activation.timeTo, TimeOfDay());
    EXPECT_EQ(IniFile::parse(saved(s)).read("Activation", "Time1"), "07:05:00");
}

TEST(SettingsLoad, TheLastSilenceIsKeptOnlyAsAWholeRealMoment) {
    const std::pair<const char*, const char*> cases[] = {
        {"LastSilence=2026-12-08 03:05:09\n", "2026-12-08 03:05:09"},
        {"", ""},
        {"LastSilence=\n", ""},
        {"LastSilence=2026-02-29 03:05:09\n", ""}, // no such day
        {"LastSilence=2026-12-08 24:00:00\n", ""},
        {"LastSilence=8.12.2026 3:05\n", ""},
        {"LastSilence=2026-12-08 03:05:09.5\n", ""},
    };
    for (const auto& [stored, kept] : cases) {
        SCOPED_TRACE(stored);
        const Settings s = loaded(std::string("[General]\n") + stored);
        EXPECT_EQ(IniFile::parse(saved(s)).read("General", "LastSilence"), kept);
    }
}

TEST(SettingsLoad, TheThresholdSliderHoldsZeroTo96) {
    EXPECT_EQ(loaded("[General]\nThreshold=200\n").state.threshold, 96);
    EXPECT_EQ(loaded("[General]\nThreshold=-3\n").state.threshold, 0);
}

TEST(SettingsLoad, BoolsFollowTheIntegerRule) {
    const Settings s = loaded("[General]\nLogEvents=2\nDCFilter=0x0\nUseSystemFont=yes\n");
    EXPECT_TRUE(s.general.logEvents);
    EXPECT_FALSE(s.general.dcFilter);
    EXPECT_TRUE(s.general.useSystemFont); // not an integer: the default
}

TEST(SettingsLoad, UnscramblesPasswordsAndDropsAnOddLastCharacter) {
    const Settings s =
        loaded("[Email]\nPassword=jhkjii\n[RetEmail]\nPassword=jhkjiix\n[General]\nSetupPassword=\n");
    EXPECT_EQ(s.alarmQueue.of<TaskKind::SendEmail>().password, "abc");
    EXPECT_EQ(s.returnQueue.of<TaskKind::SendEmail>().password, "abc");
    EXPECT_EQ(s.general.setupPassword, "");
}

TEST(SettingsSave, ScramblesPasswordsAndWritesAnEmptyOneEmpty) {
    Settings s = loaded("");
    s.alarmQueue.of<TaskKind::SendEmail>().password = "abc";
    s.returnQueue.of<TaskKind::SendEmail>().password = "aaa";
    const IniFile file = IniFile::parse(saved(s));
    EXPECT_EQ(file.read("Email", "Password"), "jhkjii");
    EXPECT_EQ(file.read("RetEmail", "Password"), "jhkiig");
    EXPECT_EQ(file.read("General", "SetupPassword"), "");
}

TEST(SettingsSave, BothEmailSectionsCarryTheAlarmMessageAsReturnMessage) {
    Settings s = loaded("");
    s.alarmQueue.of<TaskKind::SendEmail>().message = "Dead air at %time";
    s.returnQueue.of<TaskKind::SendEmail>().message = "Back";
    const IniFile file = IniFile::parse(saved(s));
    EXPECT_EQ(file.read("Email", "ReturnMessage"), "Dead air at %time");
    EXPECT_EQ(file.read("RetEmail", "ReturnMessage"), "Dead air at %time");
    EXPECT_EQ(file.read("RetEmail", "Message"), "Back");
}

TEST(SettingsLoad, ReturnMessageAndDateTimeAreNeverRead) {
    const Settings s = loaded("[Email]\nReturnMessage=ignored\nMessage=used\n[General]\nDateTime=garbage\n");
    EXPECT_EQ(s.alarmQueue.of<TaskKind::SendEmail>().message, "used");
}

TEST(SettingsLoad, ExclusiveChoicesLeaveTheLastTickedOne) {
    const Settings both = loaded("[Port]\nLimited=1\nFull=1\n[Reboot]\nDoReboot=1\nDoShutdown=1\n");
    EXPECT_EQ(both.alarmQueue.of<TaskKind::SwitchPortPin>().hold, PinHold::UntilReturn);
    EXPECT_EQ(both.alarmQueue.of<TaskKind::RebootSystem>().kind, RebootKind::Shutdown);
    const Settings none = loaded("[Port]\nLimited=0\n");
    EXPECT_EQ(none.alarmQueue.of<TaskKind::SwitchPortPin>().hold, std::nullopt);
}

TEST(SettingsLoad, QueueRowsAreReadInOrderAndAMissingRowIsEmpty) {
    const Settings s =
        loaded("[Tasks]\nTask1=Send email\nTask3=Delay\nTask32=Repeat\n[RetTasks]\nTask8=Speak\n");
    EXPECT_EQ(s.alarmQueue.rows[0], "Send email");
    EXPECT_EQ(s.alarmQueue.rows[1], "");
    EXPECT_EQ(s.alarmQueue.rows[2], "Delay");
    EXPECT_EQ(s.alarmQueue.rows[31], "Repeat");
    EXPECT_EQ(s.returnQueue.rows[7], "Speak");
}

TEST(SettingsLoad, LongValuesAreNotCutBelowTheReadersLimit) {
    const std::string title(300, 'T');
    EXPECT_EQ(loaded("[General]\nTitle=" + title + "\n").general.title, title);
}

TEST(SettingsLoad, TheWindowKeysAreReadSeparately) {
    const IniFile file =
        IniFile::parse("[General]\nTop=50\nAlwaysOnTop=1\nSilence=5\n[Activation]\nSilence=5\n");
    Settings s = defaultSettings("X");
    loadWindowKeys(file, s);
    EXPECT_EQ(s.state.top, 50);
    EXPECT_TRUE(s.general.alwaysOnTop);
    EXPECT_EQ(s.activation.silenceSeconds, 300);
    loadSetupKeys(file, s);
    EXPECT_EQ(s.activation.silenceSeconds, 5);
}

TEST(DeviceLineLookup, MatchesWithoutRegardToAsciiCaseElseFallsBack) {
    const std::vector<std::string> lines{"default", "pulse", "Active endpoint listening: Monitor of CI"};
    EXPECT_EQ(findDeviceLine(lines, "PULSE", 0), 1);
    EXPECT_EQ(findDeviceLine(lines, "active endpoint listening: monitor of ci", 0), 2);
    EXPECT_EQ(findDeviceLine(lines, "hw:1", 2), 2);
    EXPECT_EQ(findDeviceLine(lines, "hw:1", 7), 7);
    EXPECT_EQ(findDeviceLine({}, "pulse", 0), 0);
}

TEST(SettingsFileOnDisk, SavesAPrivateFileAndReadsItBack) {
    test::TempFolder folder;
    SettingsFile file(folder.file("quietmon.ini"));
    Settings s = loaded("");
    s.activation.silenceSeconds = 42;
    ASSERT_TRUE(file.save(s, savedAt).saved);
    struct stat info {};
    ASSERT_EQ(::stat(file.path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(file.read().read("Activation", "Silence"), "42");
    // Only the settings file is left behind: no temporary files.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST(SettingsFileOnDisk, AFileOverAMegabyteIsNeitherReadNorSavedOver) {
    for (const std::size_t size : {SettingsFile::maxBytes, SettingsFile::maxBytes + 1}) {
        test::TempFolder folder;
        std::string text = "[Activation]\r\nSilence=10\r\n";
        text.resize(size, '\n');
        test::writeWholeFile(folder.file("quietmon.ini"), text);
        SettingsFile file(folder.file("quietmon.ini"));
        const bool read = size <= 1'048'576;
        EXPECT_EQ(file.load().read("Activation", "Silence"),
                  read ? std::optional<std::string>("10") : std::nullopt);
        EXPECT_EQ(file.refusal(), read ? "" : "larger than 1048576 bytes");
        std::string failure;
        EXPECT_EQ(file.readRequired(failure).has_value(), read);
        EXPECT_EQ(failure, file.refusal());
        const SettingsFile::SaveOutcome outcome = file.save(loaded(""), savedAt);
        EXPECT_EQ(outcome.saved, read);
        EXPECT_EQ(outcome.failure, read ? "" : "the settings file is larger than 1048576 bytes");
        if (!read)
            EXPECT_EQ(test::readWholeFile(file.path()), text);
    }
}

TEST(SettingsFileOnDisk, AFileThatGrowsOverAMegabyteWhileRunningIsNotSavedOver) {
    test::TempFolder folder;
    SettingsFile file(folder.file("quietmon.ini"));
    file.load();
    const std::string big(SettingsFile::maxBytes + 1, '\n');
    test::writeWholeFile(file.path(), big);
    EXPECT_FALSE(file.save(loaded(""), savedAt).saved);
    EXPECT_EQ(test::readWholeFile(file.path()), big);
}

TEST(SettingsFileOnDisk, AMissingFileReadsAsEmpty) {
    test::TempFolder folder;
    EXPECT_EQ(SettingsFile(folder.file("absent.ini")).read().text(), "");
    EXPECT_EQ(SettingsFile(folder.path()).read().text(), ""); // a folder is no settings file
}

} // namespace
} // namespace quietmon
