// The whole alarm in virtual time: measurement, detection, conditions, both executors and their tasks.
#include "fakes/FakeMp3Library.h"
#include "fakes/FakeScreenCapture.h"
#include "fakes/FakeSerialLine.h"
#include "fakes/FakeShell.h"
#include "fakes/FakeShutdown.h"
#include "fakes/FakeTasks.h"
#include "fakes/RecordingView.h"
#include "monitor/StatusBoard.h"
#include "platform/linux/LibJpegEncoding.h"
#include "runtime/FileSystem.h"
#include "support/MonitorHarness.h"
#include "tasks/openplay/OpenPlay.h"
#include "tasks/reboot/SystemRebooter.h"
#include "tasks/screenshot/ScreenshotSaver.h"
#include "tasks/serialport/PortPinSwitcher.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>

namespace quietmon {
namespace {

constexpr std::int16_t loud = 3277; // -20 dB
constexpr std::int16_t quiet = 0;   // -96 dB
constexpr std::int64_t bufferMs = 125;

class AlarmStoryTest : public ::testing::Test, protected test::MonitorHarness {
protected:
    // Starts the program with these settings: keys of [General] first (the first of a key counts), then
    // other sections. The start-up delay is 0 unless the keys say otherwise.
    void start(const std::string& generalKeys = "", const std::string& sections = "") {
        writeSettings("[General]\n" + generalKeys + "LogEvents=1\nStartUpDelay=0\n" + sections);
        view.now = [this] { return loop.elapsedMs(); };
        tasks.installInto(monitor.tasks());
        monitor.setView(&view);
        startUp();
    }
    // One buffer every 125 ms for `ms`, each channel at its level.
    void play(std::int64_t ms, std::int16_t left, std::int16_t right) {
        for (std::int64_t played = 0; played < ms; played += bufferMs) {
            loop.advance(bufferMs);
            waveIn.fill(1, left, right);
            loop.runPending();
            const Measurement& last = view.measurements.back();
            if (firstBothSilentMs < 0 && last.leftSilent && last.rightSilent)
                firstBothSilentMs = loop.elapsedMs();
        }
    }
    void play(std::int64_t ms, std::int16_t level) { play(ms, level, level); }
    // Sound, then silence until the alarm is raised.
    void raiseAlarm() {
        play(1000, loud);
        firstBothSilentMs = -1;
        play(12'000, quiet);
        ASSERT_TRUE(monitor.alarmActive());
    }
    std::vector<std::string> logTexts() const {
        std::vector<std::string> texts;
        const std::string log = logText();
        for (std::size_t start = 0; start < log.size();) {
            const std::size_t end = log.find("\r\n", start);
            texts.push_back(log.substr(start + 21, end - start - 21)); // after "yyyy-mm-dd hh:nn:ss; "
            start = end + 2;
        }
        return texts;
    }
    bool logged(const std::string& text) const {
        const auto texts = logTexts();
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
    int countLogged(const std::string& text) const {
        const auto texts = logTexts();
        return static_cast<int>(std::count(texts.begin(), texts.end(), text));
    }

    test::RecordingView view;
    test::FakeTasks tasks{monitor.alarmState(), [this] { return loop.elapsedMs(); }};
    std::int64_t firstBothSilentMs = -1;
};

using Strings = std::vector<std::string>;

// --- Silence detection ---

TEST_F(AlarmStoryTest, OneSilentChannelOfTwoNeverRaisesTheAlarmUnderTheBothRule) {
    start("", "[Activation]\nSilence=10\n");
    play(60'000, quiet, loud);
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_TRUE(view.alarms.empty());
}

TEST_F(AlarmStoryTest, BothSilentRaisesTheAlarmTenSecondsAfterTheFirstSilentMeasurement) {
    start("", "[Activation]\nSilence=10\n[Tasks]\nTask1=Send email\n[Email]\nMessage=%cause\n");
    play(1000, loud);
    play(15'000, quiet);
    ASSERT_EQ(view.alarms.size(), 1u);
    EXPECT_EQ(view.alarms[0].atMs, firstBothSilentMs + 10'001);
    EXPECT_EQ(view.alarms[0].channels, "Left and Right");
    EXPECT_EQ(monitor.silentChannels(), "Left and Right");
    EXPECT_TRUE(logged("Alarm activated (silent channel(s): Left and Right)"));
    EXPECT_EQ(view.lastSilence, "Last silence: 14.03 7:05");
    ASSERT_EQ(tasks.calls.size(), 1u);
    EXPECT_EQ(tasks.calls[0].text, "Silence");
}

TEST_F(AlarmStoryTest, OneLoudBufferRestartsTheWholeCountdown) {
    start("", "[Activation]\nSilence=10\n");
    play(1000, loud);
    play(8000, quiet);
    play(bufferMs, loud);
    firstBothSilentMs = -1;
    play(9500, quiet);
    EXPECT_FALSE(monitor.alarmActive());
    play(1500, quiet);
    ASSERT_EQ(view.alarms.size(), 1u);
    EXPECT_EQ(view.alarms[0].atMs, firstBothSilentMs + 10'001);
}

TEST_F(AlarmStoryTest, OpeningSetupCancelsTheCountdownAndClosingItStartsAFullOne) {
    start("", "[Activation]\nSilence=10\n");
    play(1000, loud);
    play(8000, quiet);
    monitor.setSetupShown(true);
    play(5000, quiet);
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_EQ(monitor.silentChannels(), "Unknown");
    monitor.setSetupShown(false);
    const std::int64_t closedAt = loop.elapsedMs();
    play(9875, quiet);
    EXPECT_FALSE(monitor.alarmActive());
    play(500, quiet);
    ASSERT_EQ(view.alarms.size(), 1u);
    EXPECT_EQ(view.alarms[0].atMs, closedAt + bufferMs + 10'001);
}

TEST_F(AlarmStoryTest, TheAnyChannelRuleNamesOnlyTheChannelSilentForMostOfTheCountdown) {
    start("", "[Activation]\nSilence=10\nChannels=1\n");
    play(1000, loud);
    play(8000, quiet, loud); // Right goes quiet only for the last 2 s
    play(3000, quiet, quiet);
    ASSERT_EQ(view.alarms.size(), 1u);
    EXPECT_EQ(view.alarms[0].channels, "Left");
}

TEST_F(AlarmStoryTest, TheAnyChannelRuleNamesBothWhenBothWereSilentAllAlong) {
    start("LeftName=Studio\nRightName=Backup\n", "[Activation]\nSilence=10\nChannels=1\n");
    play(1000, loud);
    play(12'000, quiet);
    ASSERT_EQ(view.alarms.size(), 1u);
    EXPECT_EQ(view.alarms[0].channels, "Studio and Backup");
}

TEST_F(AlarmStoryTest, OneNamedChannelRuleWatchesOnlyThatChannel) {
    start("RightName=Backup\n", "[Activation]\nSilence=10\nChannels=3\n");
    play(12'000, loud, quiet);
    ASSERT_EQ(view.alarms.size(), 1u);
    EXPECT_EQ(view.alarms[0].channels, "Backup");
}

TEST_F(AlarmStoryTest, NothingHappensDuringTheStartUpDelay) {
    start("StartUpDelay=30\n", "[Activation]\nSilence=10\n");
    play(29'000, quiet);
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_FALSE(monitor.silenceTimer().enabled());
    play(11'250, quiet);
    ASSERT_EQ(view.alarms.size(), 1u);
    EXPECT_EQ(view.alarms[0].atMs, 30'000 + 10'001);
}

TEST_F(AlarmStoryTest, AfterTheReturnTheChannelsStayNamedUntilTheNextMeasurementWithoutCountdown) {
    start("", "[Activation]\nSilence=10\nReturn=1\n");
    raiseAlarm();
    play(1000, loud);
    loop.advance(250); // the return fires between two buffers
    ASSERT_FALSE(monitor.alarmActive());
    EXPECT_EQ(monitor.silentChannels(), "Left and Right");
    play(bufferMs, loud);
    EXPECT_EQ(monitor.silentChannels(), "Unknown");
}

// --- A deaf monitor ---

TEST_F(AlarmStoryTest, BuffersStoppingMidProgrammeRaiseTheAlarmASecondPlusSilenceAfterTheLastOne) {
    start("", "[Activation]\nSilence=10\nReturn=2\n[Tasks]\nTask1=Send email\n[RetTasks]\nTask1=Send email\n"
              "[Email]\nMessage=%cause\n[RetEmail]\nMessage=%cause\n");
    play(3000, loud);
    const std::int64_t lastBufferMs = loop.elapsedMs();
    loop.advance(999);
    EXPECT_EQ(monitor.statusText(), "Alarm not active");
    loop.advance(1);
    EXPECT_EQ(monitor.statusText(), "No input");
    EXPECT_EQ(view.measurements.back().dbLeft, -96);
    EXPECT_EQ(view.measurements.back().dbRight, -96);
    loop.advance(11'000);
    ASSERT_EQ(view.alarms.size(), 1u);
    EXPECT_NEAR(static_cast<double>(view.alarms[0].atMs), double(lastBufferMs + 1000 + 10'001), bufferMs);
    EXPECT_EQ(view.alarms[0].channels, "Left and Right");
    EXPECT_EQ(tasks.names(), (Strings{"alarm email"}));
    play(3000, loud); // the capture is back (restarted by the watchdog meanwhile)
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_EQ(monitor.statusText(), "Alarm not active");
    // Both queues tell a dead input from a silent programme.
    ASSERT_EQ(tasks.calls.size(), 2u);
    EXPECT_EQ(tasks.calls[0].text, "Audio input lost");
    EXPECT_EQ(tasks.calls[1].text, "Audio input lost");
    Strings story;
    for (const std::string& text : logTexts())
        if (text.starts_with("Audio input") || text.starts_with("Alarm activated") ||
            text.starts_with("Returned"))
            story.push_back(text);
    EXPECT_EQ(story, (Strings{"Audio input lost", "Alarm activated (silent channel(s): Left and Right)",
                              "Audio input back", "Returned from alarm condition"}));
}

TEST_F(AlarmStoryTest, ADeviceThatNeverOpensRaisesTheAlarmAfterTheSilenceInterval) {
    waveIn.failOpen = true;
    start("", "[Activation]\nSilence=10\n");
    loop.advance(11'000 + bufferMs);
    ASSERT_EQ(view.alarms.size(), 1u);
    EXPECT_EQ(countLogged("Can't open input audio device"), 1);
    EXPECT_GE(waveIn.openedNumbers.size(), 2u); // tried again by the watchdog
}

// --- Activation conditions ---

TEST_F(AlarmStoryTest, ACountdownIsStoppedByTheFirstMeasurementAfterTheTimeWindow) {
    // The day starts at 07:05:09 here: the window closes 11 s later, at 07:05:20.
    start("", "[Activation]\nSilence=30\nCondition3=1\nTime1=07:00:00\nTime2=07:05:20\n");
    play(60'000, quiet);
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_FALSE(monitor.silenceTimer().enabled());
    EXPECT_EQ(monitor.silentChannels(), "Unknown");
}

TEST_F(AlarmStoryTest, InsideTheTimeWindowTheAlarmRises) {
    start("", "[Activation]\nSilence=10\nCondition3=1\nTime1=07:00:00\nTime2=08:00:00\n");
    play(11'000, quiet);
    EXPECT_TRUE(monitor.alarmActive());
}

TEST_F(AlarmStoryTest, TheWeekdayConditionWithNoDayTickedNeverLetsTheAlarmRise) {
    start("", "[Activation]\nSilence=10\nCondition2=1\n");
    play(30'000, quiet);
    EXPECT_FALSE(monitor.alarmActive());
}

TEST_F(AlarmStoryTest, TheWeekdayConditionOnTheRightDayLetsItRise) {
    start("", "[Activation]\nSilence=10\nCondition2=1\nSaturday=1\n"); // 2026-03-14 is a Saturday
    play(12'000, quiet);
    EXPECT_TRUE(monitor.alarmActive());
}

TEST_F(AlarmStoryTest, AMissingWindowHoldsTheAlarmUntilItOpens) {
    start("", "[Activation]\nSilence=10\nCondition4=1\nWindow=Playout - Studio 1\n");
    play(35'000, quiet);
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_EQ(windows.searches, 3); // the countdown fired at 10, 20 and 30 s
    windows.open("playout - studio 1", "PlayoutMain");
    play(10'000, quiet);
    EXPECT_TRUE(monitor.alarmActive());
}

TEST_F(AlarmStoryTest, TheWindowConditionComparesTheWholeTitle) {
    windows.open("Playout - Studio 1", "PlayoutMain");
    start("", "[Activation]\nSilence=10\nCondition4=1\nWindow=Playout\n");
    play(25'000, quiet);
    EXPECT_FALSE(monitor.alarmActive());
}

TEST_F(AlarmStoryTest, AWindowThatIsNotDetectedLetsTheAlarmRise) {
    windows.open("On Air", "PlayoutMain");
    start("", "[Activation]\nSilence=10\nCondition4=1\nWindowOperator=1\nTitleClass=1\nWindow=playoutmain\n");
    play(25'000, quiet);
    EXPECT_FALSE(monitor.alarmActive());
    windows.windows.clear();
    play(10'000, quiet);
    EXPECT_TRUE(monitor.alarmActive());
}

TEST_F(AlarmStoryTest, AWindowLineWithoutTextHasNoEffect) {
    start("", "[Activation]\nSilence=10\nCondition4=1\nWindow=\n");
    play(11'000, quiet);
    EXPECT_TRUE(monitor.alarmActive());
    EXPECT_EQ(windows.searches, 0);
}

// Without a display the window cannot be looked for: the condition neither holds the alarm back nor
// forces it, whichever way it is put, and the log says so once.
TEST_F(AlarmStoryTest, WithoutADisplayTheWindowConditionIsNotAppliedAndLoggedOnce) {
    for (const char* windowOperator : {"0", "1"}) {
        SCOPED_TRACE(std::string("WindowOperator=") + windowOperator);
        test::MonitorHarness headless;
        headless.monitor.setWithoutDisplay();
        headless.writeSettings(
            std::string("[General]\nLogEvents=1\nStartUpDelay=0\n[Activation]\nSilence=10\n"
                        "Return=0\nCondition4=1\nWindow=Playout\nWindowOperator=") +
            windowOperator + "\n");
        headless.windows.open("Playout", "PlayoutMain");
        headless.startUp();
        for (int alarm = 0; alarm < 2; ++alarm) {
            for (const std::int16_t level : {loud, quiet}) {
                for (std::int64_t played = 0; played < 11'000; played += bufferMs) {
                    headless.loop.advance(bufferMs);
                    headless.waveIn.fill(1, level, level);
                    headless.loop.runPending();
                }
            }
            EXPECT_TRUE(headless.monitor.alarmActive());
        }
        EXPECT_EQ(headless.windows.searches, 0);
        const std::string log = headless.logText();
        const std::string line = "Window condition not applied: no display to look for the window on";
        EXPECT_NE(log.find(line), std::string::npos);
        EXPECT_EQ(log.find(line), log.rfind(line));
        EXPECT_NE(log.find("starting up...\r\n" + log.substr(0, 21) + "Running without a display\r\n"),
                  std::string::npos);
    }
}

// --- The alarm executor ---

TEST_F(AlarmStoryTest, AnEmptyQueueEndsOneTickAfterTheAlarmWithSilence) {
    start("", "[Activation]\nSilence=10\n");
    raiseAlarm();
    EXPECT_EQ(monitor.statusText(), "Silence!");
    EXPECT_EQ(view.statusColour, StatusColour::Alarm);
    EXPECT_TRUE(view.alarmTaskPagesEnabled);
    EXPECT_TRUE(monitor.alarmState().runningAlarmQueue.empty());
}

TEST_F(AlarmStoryTest, ShortRowsAreLeftOutAndRepeatLinesCountTheRunningList) {
    start(
        "",
        "[Activation]\nSilence=10\n[Tasks]\nTask1=Send email\nTask2=\nTask3=Dela\nTask4=Speak\nTask5=Repeat\n"
        "[Repeat]\nFromLine=2\nMaximum=2\n[Speak]\nText=Silence on %channel\n");
    raiseAlarm();
    play(3000, quiet);
    EXPECT_EQ(tasks.names(), (Strings{"alarm email", "speak", "speak", "speak"}));
    EXPECT_EQ(tasks.calls[1].text, "Silence on Left and Right");
}

TEST_F(AlarmStoryTest, RowsOfTheOtherQueuesKindsOrOfNoKindKeepTheirPlaceAndDoNothing) {
    start("", "[Activation]\nSilence=10\nReturn=1\n[Tasks]\nTask1=Open/Play\nTask2=speak\nTask3=Speak\n"
              "[RetTasks]\nTask1=Speak\nTask2=Reboot system\nTask3=Switch port pin\nTask4=Repeat\n"
              "Task5=Kill application\n");
    raiseAlarm();
    ASSERT_EQ(tasks.names(), Strings{"speak"});
    EXPECT_EQ(tasks.calls[0].atMs, view.alarms[0].atMs + 600);
    play(1500, loud);
    EXPECT_EQ(tasks.names(), (Strings{"speak", "kill", "kill"}));
}

TEST_F(AlarmStoryTest, EntriesRunOnePerTickOf200Milliseconds) {
    start("", "[Activation]\nSilence=10\n[Tasks]\nTask1=Send email\nTask2=Speak\nTask3=Kill application\n");
    raiseAlarm();
    const std::int64_t alarmAt = view.alarms[0].atMs;
    ASSERT_GE(tasks.calls.size(), 3u);
    EXPECT_EQ(tasks.calls[0].atMs, alarmAt + 200);
    EXPECT_EQ(tasks.calls[1].atMs, alarmAt + 400);
    EXPECT_EQ(tasks.calls[2].atMs, alarmAt + 600);
    EXPECT_EQ(view.statuses.back(), "Silence!");
}

TEST_F(AlarmStoryTest, EmailRepeatedFromLineOneIsSentSixTimesWithADelayAfterEach) {
    start("", "[Activation]\nSilence=10\n[Tasks]\nTask1=Send email\nTask2=Delay\nTask3=Repeat\n"
              "[Repeat]\nFromLine=1\nMaximum=5\n[Delay]\nDelay=2\n");
    play(1000, loud);
    play(60'000, quiet);
    ASSERT_EQ(tasks.calls.size(), 6u);
    for (std::size_t i = 1; i < 6; ++i)
        EXPECT_EQ(tasks.calls[i].atMs - tasks.calls[i - 1].atMs, 2001 + 200 + 200) << i;
    EXPECT_EQ(monitor.repeatCount(), 5);
    EXPECT_EQ(monitor.statusText(), "Silence!");
}

TEST_F(AlarmStoryTest, TheQueueEndsTheDelaySecondsAfterALastDelayEntry) {
    start("", "[Activation]\nSilence=10\n[Tasks]\nTask1=Delay\n[Delay]\nDelay=3\n");
    play(1000, loud);
    play(11'500, quiet);
    const std::int64_t delayTakenAt = view.alarms.at(0).atMs + 200;
    loop.advance(delayTakenAt + 3001 - 1 - loop.elapsedMs());
    EXPECT_EQ(monitor.statusText(), "Executing alarm tasks...");
    loop.advance(1);
    EXPECT_EQ(monitor.statusText(), "Silence!");
}

TEST_F(AlarmStoryTest, TwoDelaysWaitTwice) {
    start("", "[Activation]\nSilence=10\n[Tasks]\nTask1=Delay\nTask2=Delay\nTask3=Speak\n[Delay]\nDelay=2\n");
    raiseAlarm();
    play(5000, quiet);
    ASSERT_EQ(tasks.calls.size(), 1u);
    EXPECT_EQ(tasks.calls[0].atMs, view.alarms[0].atMs + 200 + 2001 + 2001);
}

TEST_F(AlarmStoryTest, ARepeatBeyondTheNextLineDoesNothing) {
    start("", "[Activation]\nSilence=10\n[Tasks]\nTask1=Speak\nTask2=Repeat\n[Repeat]\nFromLine=4\n");
    raiseAlarm();
    EXPECT_EQ(tasks.names(), (Strings{"speak"}));
    EXPECT_EQ(monitor.repeatCount(), 0);
}

TEST_F(AlarmStoryTest, TwoRepeatEntriesShareOneCounter) {
    start("", "[Activation]\nSilence=10\n[Tasks]\nTask1=Speak\nTask2=Repeat\nTask3=Send email\nTask4=Repeat\n"
              "[Repeat]\nFromLine=1\nMaximum=3\n");
    raiseAlarm();
    play(3000, quiet);
    EXPECT_EQ(monitor.repeatCount(), 3);
    EXPECT_EQ(tasks.names(), (Strings{"speak", "speak", "speak", "speak", "alarm email"}));
}

TEST_F(AlarmStoryTest, LastTaskShowsTheEntryRunningNow) {
    start("", "[Activation]\nSilence=10\n[Tasks]\nTask1=Speak\nTask2=Speak\nTask3=Send email\n"
              "[Email]\nMessage=entry %LastTask\n");
    raiseAlarm();
    EXPECT_EQ(tasks.calls.at(2).text, "entry 3");
}

TEST_F(AlarmStoryTest, TheQueueKeepsItsPaceWhileSetupIsOpen) {
    start("", "[Activation]\nSilence=10\n[Tasks]\nTask1=Speak\nTask2=Speak\nTask3=Speak\n");
    play(1000, loud);
    play(10'500, quiet);
    monitor.setSetupShown(true);
    EXPECT_FALSE(view.alarmTaskPagesEnabled);
    play(1000, quiet);
    EXPECT_EQ(tasks.calls.size(), 3u);
    EXPECT_TRUE(view.alarmTaskPagesEnabled);
}

TEST_F(AlarmStoryTest, AnErrorInAnEntryIsLoggedAndTheNextTickGoesOn) {
    start("", "[Activation]\nSilence=10\n[Tasks]\nTask1=Send email\nTask2=Speak\n");
    tasks.failNextEmail = true;
    raiseAlarm();
    EXPECT_TRUE(logged("Application Error - Socket Error # 10061"));
    EXPECT_EQ(tasks.names(), (Strings{"speak"}));
}

TEST_F(AlarmStoryTest, ARefusedRebootEndsTheQueue) {
    start("", "[Activation]\nSilence=10\n[Tasks]\nTask1=Reboot system\nTask2=Speak\n");
    raiseAlarm();
    EXPECT_EQ(tasks.names(), (Strings{"reboot"}));
    EXPECT_EQ(monitor.statusText(), "Silence!");
}

TEST_F(AlarmStoryTest, AQueueInterruptedByItsOwnRebootResumesAfterTheStartUpDelay) {
    start("StartUpStatus=2\nAlarm=1\nLastTask=2\nRepeats=0\nStartUpDelay=5\n",
          "[Reboot]\nReboot=1\n[Tasks]\nTask1=Speak\nTask2=Reboot system\nTask3=Send email\n"
          "[Email]\nMessage=%channel %lasttask\n");
    EXPECT_TRUE(monitor.alarmActive());
    EXPECT_EQ(monitor.statusText(), "Silence! ...");
    EXPECT_FALSE(view.alarmTaskPagesEnabled);
    loop.advance(4900);
    EXPECT_TRUE(tasks.calls.empty());
    loop.advance(400);
    EXPECT_EQ(tasks.names(), (Strings{"alarm email"}));
    EXPECT_EQ(tasks.calls[0].text, "Unknown 3");
    loop.advance(400);
    EXPECT_EQ(monitor.statusText(), "Silence!");
}

TEST_F(AlarmStoryTest, AResumedQueueWithAHostileRepeatCountStillEnds) {
    // A negative count would leave a million repeats; the count read is 0, so the 5 of the Repeat page.
    start("StartUpStatus=2\nAlarm=1\nLastTask=1\nRepeats=-1000000\n",
          "[Reboot]\nReboot=1\n[Tasks]\nTask1=Reboot system\nTask2=Speak\nTask3=Repeat\n"
          "[Repeat]\nFromLine=2\nMaximum=5\n");
    loop.advance(60'000);
    EXPECT_EQ(tasks.names(), Strings(6, "speak"));
    EXPECT_EQ(monitor.statusText(), "Silence!");
}

TEST_F(AlarmStoryTest, AScreenshotAndBothApplicationsOfAKillRunInTheirTicksWithoutPauses) {
    start("",
          "[Activation]\nSilence=10\n[Tasks]\nTask1=Save screenshot\nTask2=Kill application\nTask3=Speak\n"
          "[Screenshot]\nFile=shot.jpg\n[Kill]\nTitle1=Playout\nClass2=Editor\n");
    raiseAlarm();
    const std::int64_t alarmAt = view.alarms.at(0).atMs;
    ASSERT_EQ(tasks.names(), (Strings{"screenshot", "kill", "kill", "speak"}));
    EXPECT_EQ(tasks.calls[0].atMs, alarmAt + 200);
    EXPECT_EQ(tasks.calls[1].text, "Playout/");
    EXPECT_EQ(tasks.calls[2].text, "/Editor");
    EXPECT_EQ(tasks.calls[2].atMs, alarmAt + 400);
    EXPECT_EQ(tasks.calls[3].atMs, alarmAt + 600);
}

TEST_F(AlarmStoryTest, AScreenshotIntoAMissingFolderWritesNothingIsLoggedAndTheQueueGoesOn) {
    test::FakeScreenCapture screen;
    LibJpegEncoder jpeg;
    ScreenshotSaver saver(
        screen, jpeg, loop.clock(),
        [this](std::string_view text) { return expandPlaceholders(text, monitor.alarmState()); }, {},
        [this] { return monitor.folders().dataFolder; },
        [this](const std::string& text) { monitor.logEvent(text); });
    start("", "[Activation]\nSilence=10\n[Tasks]\nTask1=Save screenshot\nTask2=Speak\n[Screenshot]\nFile=" +
                  temp.file("missing/%date.jpg") + "\n");
    monitor.tasks().set(TaskKind::SaveScreenshot, &saver);
    raiseAlarm();
    play(1000, quiet);
    EXPECT_EQ(tasks.names(), Strings{"speak"});
    EXPECT_FALSE(std::filesystem::exists(temp.file("missing")));
    // The JPEG and then the bitmap that stands in for it both fail: one line, for the name as expanded.
    const Strings log = logTexts();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Alarm activated (silent channel(s): Left and Right)");
    EXPECT_EQ(log.back(), "Can't save the screenshot " + temp.file("missing/2026-03-14.jpg") +
                              " - No such file or directory");
}

// --- The serial port pin, switched over a line driver with modem lines ---

class PortPinStoryTest : public AlarmStoryTest {
protected:
    void useRealPortPin() { monitor.tasks().set(TaskKind::SwitchPortPin, &portPin); }

    test::FakeSerialLine line{[this] { return loop.elapsedMs(); }};
    PortPinSwitcher portPin{line, loop.clock(), [this](const std::string& text) { monitor.logEvent(text); }};
};

TEST_F(PortPinStoryTest, ASecondSwitchOfAHeldPortIsAnApplicationErrorAndTheQueueGoesOn) {
    start("", "[Activation]\nSilence=10\n[Tasks]\nTask1=Switch port pin\nTask2=Switch port pin\nTask3=Speak\n"
              "[Port]\nLimited=0\nFull=1\n");
    useRealPortPin();
    raiseAlarm();
    EXPECT_TRUE(logged("Application Error - Can't perform this operation while port is open"));
    EXPECT_FALSE(logged("Can't access the COM port"));
    EXPECT_TRUE(line.dtr);
    EXPECT_EQ(tasks.names(), (Strings{"speak"}));
}

TEST_F(PortPinStoryTest, AsLongAsPossibleHoldsThePinThroughTheReturnUntilTheProgramCloses) {
    start(
        "",
        "[Activation]\nSilence=10\nReturn=1\n[Tasks]\nTask1=Switch port pin\n[Port]\nLimited=0\nForever=1\n");
    useRealPortPin();
    raiseAlarm();
    play(1500, loud);
    ASSERT_FALSE(monitor.alarmActive());
    EXPECT_TRUE(line.dtr);
    monitor.close();
    EXPECT_FALSE(line.isOpen);
    EXPECT_FALSE(line.dtr);
}

// --- "Reboot system", with the real task over a login manager that answers as told ---

class RebootStoryTest : public AlarmStoryTest {
protected:
    void useRealReboot() { monitor.tasks().set(TaskKind::RebootSystem, &rebooter); }
    std::string saved(const std::string& section, const std::string& key) const {
        return IniFile::parse(settingsText()).read(section, key).value_or("");
    }

    Strings asked;
    test::FakeRebootPrompt prompt;
    test::FakeSystemShutdown shutdown{asked};
    bool closed = false;
    SystemRebooter rebooter{prompt, shutdown, [this](const std::string& text) { monitor.logEvent(text); },
                            [this](bool rebooting) {
                                monitor.setRebooting(rebooting);
                                monitor.saveSettings();
                            },
                            [this] {
                                closed = true;
                                monitor.close();
                            }};
};

TEST_F(RebootStoryTest, TheNextStartGoesOnWithTheEntriesAfterTheReboot) {
    start("StartUpStatus=2\n", "[Activation]\nSilence=10\n[Tasks]\nTask1=Speak\nTask2=Reboot system\n"
                               "Task3=Send email\nTask4=Speak\n[Email]\nMessage=%lasttask\n");
    useRealReboot();
    raiseAlarm();
    ASSERT_TRUE(closed);
    EXPECT_EQ(asked, (Strings{"may Reboot", "shut down Reboot"}));
    EXPECT_EQ(tasks.names(), (Strings{"speak", "close port"})); // the normal close closes the port
    EXPECT_EQ(logTexts().back(), "Exit");
    EXPECT_EQ(saved("Reboot", "Reboot"), "1");
    EXPECT_EQ(saved("General", "Alarm"), "1");
    EXPECT_EQ(saved("General", "LastTask"), "2");

    test::MonitorHarness next;
    next.writeSettings(settingsText());
    test::FakeTasks nextTasks{next.monitor.alarmState(), [&next] { return next.loop.elapsedMs(); }};
    nextTasks.installInto(next.monitor.tasks());
    next.startUp();
    next.loop.advance(1000);
    EXPECT_EQ(nextTasks.names(), (Strings{"alarm email", "speak"}));
    EXPECT_EQ(nextTasks.calls[0].text, "3");
}

TEST_F(RebootStoryTest, ARefusedRequestClearsTheMarkerAndTheMonitorGoesOn) {
    start("", "[Activation]\nSilence=10\nReturn=1\n[Tasks]\nTask1=Reboot system\nTask2=Speak\n");
    shutdown.refusal = "Interactive authentication required.";
    useRealReboot();
    raiseAlarm();
    EXPECT_FALSE(closed);
    EXPECT_TRUE(logged("Reboot failed - Interactive authentication required."));
    EXPECT_FALSE(logged("Exit"));
    EXPECT_EQ(saved("Reboot", "Reboot"), "0");
    EXPECT_TRUE(tasks.calls.empty());
    play(1500, loud);
    EXPECT_TRUE(logged("Returned from alarm condition"));
}

// --- The return ---

// The return rows "Kill application", "Save screenshot" with the given file and "Send email": the moment
// of each call, counted from the return.
class ReturnPausesTest : public AlarmStoryTest {
protected:
    std::vector<std::int64_t> returnRowMoments(const std::string& screenshotFile) {
        start(
            "",
            "[Activation]\nSilence=10\nReturn=1\n[RetTasks]\nTask1=Kill application\nTask2=Save screenshot\n"
            "Task3=Send email\n[RetScreenshot]\nFile=" +
                screenshotFile + "\n");
        raiseAlarm();
        play(1500, loud);
        EXPECT_EQ(tasks.names(), (Strings{"kill", "kill", "screenshot", "return email"}));
        std::vector<std::int64_t> moments;
        for (const auto& call : tasks.calls)
            moments.push_back(call.atMs - view.returnsAt.at(0));
        return moments;
    }
};

TEST_F(ReturnPausesTest, TheReturnPausesAfterEachApplicationToKillAndAfterAScreenshotWithAName) {
    EXPECT_EQ(returnRowMoments("shot.bmp"), (std::vector<std::int64_t>{0, 200, 400, 600}));
}

TEST_F(ReturnPausesTest, AScreenshotWithoutANameIsNotFollowedByAPause) {
    EXPECT_EQ(returnRowMoments(""), (std::vector<std::int64_t>{0, 200, 400, 400}));
}

TEST_F(AlarmStoryTest, ReturnZeroEndsTheAlarmAtTheFirstMeasurementWithSound) {
    start("", "[Activation]\nSilence=10\nReturn=0\n");
    raiseAlarm();
    const std::int64_t soundAt = loop.elapsedMs() + bufferMs;
    play(bufferMs, loud);
    loop.advance(10);
    ASSERT_EQ(view.returnsAt.size(), 1u);
    EXPECT_EQ(view.returnsAt[0], soundAt + 10); // a 1 ms interval acts as 10 ms
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_EQ(monitor.statusText(), "Alarm not active");
    EXPECT_EQ(view.statusColour, StatusColour::Normal);
    EXPECT_TRUE(logged("Returned from alarm condition"));
}

TEST_F(AlarmStoryTest, SilenceDuringTheReturnCountdownLosesTheCount) {
    start("", "[Activation]\nSilence=10\nReturn=2\n");
    raiseAlarm();
    play(1500, loud);
    play(bufferMs * 4, quiet); // the held level falls below the threshold
    play(1500, loud);
    EXPECT_TRUE(monitor.alarmActive());
    play(1000, loud);
    EXPECT_FALSE(monitor.alarmActive());
}

TEST_F(AlarmStoryTest, WithoutTheBreakOptionTheReturnWaitsForTheQueueToEnd) {
    start("", "[Activation]\nSilence=10\nReturn=1\n[Tasks]\nTask1=Delay\nTask2=Speak\n[Delay]\nDelay=5\n");
    raiseAlarm();
    play(3000, loud);
    EXPECT_TRUE(monitor.alarmActive());
    play(4000, loud);
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_EQ(tasks.names(), (Strings{"speak"}));
    EXPECT_FALSE(logged("Alarm task queue broken"));
    EXPECT_GT(view.returnsAt.at(0), tasks.calls[0].atMs);
}

TEST_F(AlarmStoryTest, WithTheBreakOptionTheQueueIsCutAtTheFirstTick) {
    start("", "[Activation]\nSilence=10\nReturn=1\nBreakQueue=1\n[Tasks]\nTask1=Delay\nTask2=Speak\n[Delay]"
              "\nDelay=30\n");
    raiseAlarm();
    play(1500, loud);
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_TRUE(tasks.calls.empty());
    const auto texts = logTexts();
    const auto broken = std::find(texts.begin(), texts.end(), "Alarm task queue broken");
    ASSERT_NE(broken, texts.end());
    EXPECT_EQ(*(broken + 1), "Returned from alarm condition");
    play(40'000, loud);
    EXPECT_TRUE(tasks.calls.empty());
}

TEST_F(AlarmStoryTest, WithTheBreakOptionAnOpenSetupLogsABreakAtEveryTick) {
    start("", "[Activation]\nSilence=10\nReturn=1\nBreakQueue=1\n");
    raiseAlarm();
    monitor.setSetupShown(true);
    play(3500, loud);
    EXPECT_TRUE(monitor.alarmActive());
    EXPECT_EQ(countLogged("Alarm task queue broken"), 3);
    monitor.setSetupShown(false);
    play(1100, loud);
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_EQ(countLogged("Alarm task queue broken"), 4);
}

TEST_F(AlarmStoryTest, AnEmptyReturnQueueStillLogsReleasesThePinAndEnds) {
    start("", "[Activation]\nSilence=10\nReturn=1\n[Port]\nFull=1\n");
    raiseAlarm();
    play(1500, loud);
    EXPECT_EQ(tasks.names(), (Strings{"normal port"}));
    EXPECT_EQ(monitor.statusText(), "Alarm not active");
    EXPECT_FALSE(monitor.silenceTimer().enabled());
}

TEST_F(AlarmStoryTest, AReturnDelayCountsDownOnTheStatusLine) {
    start("", "[Activation]\nSilence=10\nReturn=1\n[RetTasks]\nTask1=Delay\nTask2=Send "
              "email\n[RetDelay]\nDelay=3\n");
    raiseAlarm();
    view.statuses.clear();
    play(1500, loud);
    EXPECT_EQ(view.statuses,
              (Strings{"Executing return tasks...", "Executing return tasks...", "Delay... 3", "Delay... 2",
                       "Delay... 1", "Executing return tasks...", "Alarm not active"}));
    ASSERT_EQ(tasks.calls.size(), 1u);
    EXPECT_EQ(tasks.calls[0].atMs, view.returnsAt[0] + 3000);
}

TEST_F(AlarmStoryTest, ReturnEmailsCarryTheMomentOfReturnAndTheLastAlarmEntry) {
    start("",
          "[Activation]\nSilence=10\nReturn=1\n[Tasks]\nTask1=Speak\nTask2=Speak\nTask3=Speak\nTask4=Speak\n"
          "Task5=Speak\n[RetTasks]\nTask1=Send email\nTask3=Send email\n[RetEmail]\nMessage=%date %time, "
          "%lasttask\n");
    raiseAlarm();
    play(3000, quiet);
    play(1500, loud);
    ASSERT_EQ(tasks.names(),
              (Strings{"speak", "speak", "speak", "speak", "speak", "return email", "return email"}));
    const DateTime returnedAt = DateTime::fromParts(2026, 3, 14, 7, 5, 9).addMilliseconds(view.returnsAt[0]);
    const std::string expected = returnedAt.formatIsoDate() + " " +
                                 returnedAt.formatTime().replace(2, 1, "-").replace(5, 1, "-") + ", 5";
    EXPECT_EQ(tasks.calls[5].text, expected);
    EXPECT_EQ(tasks.calls[6].text, expected);
}

TEST_F(AlarmStoryTest, AnErrorInAReturnRowEndsTheReturnWithTheAlarmLeft) {
    start("", "[Activation]\nSilence=10\nReturn=1\n[RetTasks]\nTask1=Send email\nTask2=Kill application\n");
    raiseAlarm();
    tasks.failNextEmail = true;
    play(1500, loud);
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_TRUE(tasks.calls.empty()); // the kill row never ran
    EXPECT_EQ(monitor.statusText(), "Executing return tasks...");
    EXPECT_TRUE(logged("Application Error - Socket Error # 10061"));
}

// --- A mail server that takes its time ---

TEST_F(AlarmStoryTest, AnEmailHoldsItsQueueUntilSentWhileMeasurementAndDetectionGoOn) {
    start("", "[Activation]\nSilence=10\nReturn=1\n[Tasks]\nTask1=Send email\nTask2=Speak\n"
              "[RetTasks]\nTask1=Send email\nTask2=Kill application\n");
    tasks.holdEmails = true;
    raiseAlarm();
    const std::size_t measured = view.measurements.size();
    play(5000, quiet);
    EXPECT_EQ(tasks.names(), (Strings{"alarm email"}));
    EXPECT_EQ(view.measurements.size(), measured + 40); // the meter goes on
    EXPECT_EQ(monitor.statusText(), "Executing alarm tasks...");
    tasks.finishHeldEmail();
    play(250, quiet);
    EXPECT_EQ(tasks.names(), (Strings{"alarm email", "speak"}));

    // The return pass waits for its email before the next row; a new silence is not counted meanwhile.
    play(1500, loud);
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_EQ(tasks.names(), (Strings{"alarm email", "speak", "return email"}));
    play(30'000, quiet);
    EXPECT_EQ(view.alarms.size(), 1u);
    EXPECT_EQ(monitor.statusText(), "Executing return tasks...");
    tasks.finishHeldEmail();
    EXPECT_EQ(tasks.names(), (Strings{"alarm email", "speak", "return email", "kill", "kill"}));
    EXPECT_EQ(monitor.statusText(), "Alarm not active");
    play(10'250, quiet);
    EXPECT_EQ(view.alarms.size(), 2u);
}

TEST_F(AlarmStoryTest, WithTheBreakOptionSoundReturnsWhileTheAlarmEmailIsOnItsWay) {
    start("", "[Activation]\nSilence=10\nReturn=1\nBreakQueue=1\n[Tasks]\nTask1=Send email\nTask2=Speak\n");
    tasks.holdEmails = true;
    raiseAlarm();
    play(1500, loud);
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_TRUE(logged("Alarm task queue broken"));
    tasks.finishHeldEmail();
    play(1000, loud);
    EXPECT_EQ(tasks.names(), (Strings{"alarm email"})); // the broken queue stays broken
}

// A crash or a killed process mid-alarm: the next start finds the alarm, and the queue position, as the file
// had them when the alarm was raised; after the return the file says the alarm is over.
TEST_F(AlarmStoryTest, TheRunningProgramSavesTheAlarmWhenRaisedAndWhenItReturns) {
    monitor.setSavesAlarmChanges(true);
    start("StartUpStatus=2\n", "[Activation]\nSilence=10\nReturn=1\n[Tasks]\nTask1=Speak\nTask2=Speak\n");
    raiseAlarm(); // the first entry ran one tick after the alarm
    const IniFile savedAtAlarm = IniFile::parse(settingsText());
    EXPECT_EQ(savedAtAlarm.read("General", "Alarm"), "1");
    EXPECT_EQ(savedAtAlarm.read("General", "LastTask"), "0");

    test::MonitorHarness restarted;
    restarted.writeSettings(settingsText());
    restarted.startUp();
    EXPECT_TRUE(restarted.monitor.alarmActive());
    EXPECT_EQ(restarted.monitor.statusText(), "Silence!");

    play(1500, loud);
    EXPECT_EQ(IniFile::parse(settingsText()).read("General", "Alarm"), "0");
}

TEST_F(AlarmStoryTest, TheStatusSnapshotFollowsTheAlarmAndCountsTaskFailuresByKind) {
    StatusBoard board;
    start("", "[Activation]\nSilence=10\nReturn=1\n");
    monitor.setStatusBoard(&board);
    play(1000, loud);
    while (!monitor.alarmActive())
        play(bufferMs, quiet);
    // The very snapshot of the alarm's moment, before the queue's first tick, tells one story.
    EXPECT_TRUE(board.latest()->alarmActive);
    EXPECT_EQ(board.latest()->statusText, "Silence!");
    play(1000, quiet);
    const auto atAlarm = board.latest();
    EXPECT_TRUE(atAlarm->alarmActive);
    EXPECT_EQ(atAlarm->alarmsRaised, 1);
    EXPECT_EQ(atAlarm->channels[0].levelDb, -96);
    EXPECT_EQ(atAlarm->statusText, "Silence!");
    EXPECT_EQ(atAlarm->lastSilence, view.lastSilence);
    // Each channel was last heard before the silence began, 12 s of it ago (the held peak may add a buffer).
    EXPECT_GE(millisecondsBetween(loop.clock().now(), atAlarm->channels[1].lastSound), 11'000 - bufferMs);
    EXPECT_LE(millisecondsBetween(loop.clock().now(), atAlarm->channels[1].lastSound), 11'250);

    const std::pair<TaskKind, const char*> failures[] = {
        {TaskKind::SendEmail, "An error occured when trying to send email: Could not connect"},
        {TaskKind::SendEmail, "An unknown error occured when trying to send email."},
        {TaskKind::SendHttpQuery, "HTTP query failed - Timeout was reached (http://x/)"},
        {TaskKind::SendHttpQuery, "HTTP query answered 500 (http://x/)"},
        {TaskKind::SendHttpQuery, "HTTP query dropped, too many waiting (http://x/)"},
        {TaskKind::SwitchPortPin, "Can't access the COM port"},
        {TaskKind::RebootSystem, "Reboot failed - no"}};
    for (const auto& [kind, line] : failures)
        monitor.taskLog().failure(kind, line);
    // Lines that tell of no failure count for nothing, whatever they say.
    for (const char* line :
         {"Reboot suppressed by user", "Test email message cannot be sent - no server",
          "Alarm task queue broken", "Email sent to desk@example.org", "Can't access the COM port"})
        monitor.taskLog()(line);
    EXPECT_EQ(countLogged("Can't access the COM port"), 2);
    EXPECT_EQ(board.latest()->taskFailures,
              (std::map<std::string, std::int64_t>{
                  {"Reboot system", 1}, {"Send HTTP query", 3}, {"Send email", 2}, {"Switch port pin", 1}}));
    play(1500, loud);
    EXPECT_FALSE(board.latest()->alarmActive);
    EXPECT_EQ(board.latest()->channels[0].lastSound, loop.clock().now());
}

TEST_F(AlarmStoryTest, TheLastSilenceIsKeptAcrossARestartAndShownAgain) {
    monitor.setSavesAlarmChanges(true);
    StatusBoard board;
    start("", "[Activation]\nSilence=10\nReturn=1\n");
    monitor.setStatusBoard(&board);
    EXPECT_TRUE(board.latest()->lastSilenceAt.isZero());
    raiseAlarm();
    const DateTime raisedAt = board.latest()->lastSilenceAt;
    ASSERT_FALSE(raisedAt.isZero());
    play(1500, loud); // returned: the moment stays
    EXPECT_EQ(IniFile::parse(settingsText()).read("General", "LastSilence"), raisedAt.formatDateTime());

    test::MonitorHarness restarted;
    restarted.writeSettings(settingsText());
    test::RecordingView restartedView;
    restarted.monitor.setView(&restartedView);
    restarted.startUp();
    StatusBoard restartedBoard;
    restarted.monitor.setStatusBoard(&restartedBoard);
    EXPECT_EQ(restartedView.lastSilence, view.lastSilence);
    EXPECT_EQ(restartedBoard.latest()->lastSilence, view.lastSilence);
    // The file keeps whole seconds.
    EXPECT_EQ(restartedBoard.latest()->lastSilenceAt.formatDateTime(), raisedAt.formatDateTime());
}

TEST_F(AlarmStoryTest, TheAlarmStateIsSavedAndShownAtEveryStep) {
    start("", "[Activation]\nSilence=10\nReturn=1\n[Tasks]\nTask1=Speak\n");
    raiseAlarm();
    monitor.saveSettings();
    EXPECT_EQ(IniFile::parse(settingsText()).read("General", "Alarm"), "1");
    EXPECT_EQ(IniFile::parse(settingsText()).read("General", "LastTask"), "1");
    play(1500, loud);
    monitor.saveSettings();
    EXPECT_EQ(IniFile::parse(settingsText()).read("General", "Alarm"), "0");
}

// --- The built-in mp3 player ---

// "Open/Play 1" with three mp3 files of 10 s each: the first plays from the alarm on, two wait.
class AlarmStoryPlayerTest : public AlarmStoryTest, public ::testing::WithParamInterface<bool> {
protected:
    void TearDown() override { changeCurrentFolder(startFolder); }

    std::string startFolder = std::filesystem::current_path().string();
    test::FakeMp3Library library{[this] { return loop.elapsedMs(); }};
    BuiltInMp3Player player{loop, library};
    test::FakeShell shell{[this] { return loop.elapsedMs(); }};
    OpenPlay openPlay{shell,
                      player,
                      loop.clock(),
                      monitor.settings(),
                      monitor.alarmState(),
                      temp.path() + "/",
                      [this](const std::string& text) { monitor.logEvent(text); }};
};

TEST_P(AlarmStoryPlayerTest, TheReturnStopsPlayingAndDiscardsTheWaitingFilesOnlyWhenAskedTo) {
    const bool stopPlaying = GetParam();
    for (const char* name : {"one.mp3", "two.mp3", "three.mp3"})
        test::writeWholeFile(temp.file(name), "");
    for (const TaskKind kind : {TaskKind::OpenPlay1, TaskKind::OpenPlay2, TaskKind::OpenPlay})
        monitor.tasks().set(kind, &openPlay);
    start("InternalPlayer=1\nStopPlayer=" + std::string(stopPlaying ? "1" : "0") + "\n",
          "[Activation]\nSilence=10\nReturn=1\n[Tasks]\nTask1=Open/Play 1\n"
          "[Open1]\nFile1=one.mp3\nFile2=two.mp3\nFile3=three.mp3\n");
    ASSERT_TRUE(monitor.playerAvailable());
    raiseAlarm();
    play(1000, quiet);
    ASSERT_EQ(library.startedFiles(), Strings{"one.mp3"});
    play(2000, loud);
    ASSERT_TRUE(logged("Returned from alarm condition"));
    EXPECT_EQ(library.stops, stopPlaying ? 1 : 0);
    play(40'000, loud);
    EXPECT_EQ(library.startedFiles(),
              stopPlaying ? Strings{"one.mp3"} : (Strings{"one.mp3", "two.mp3", "three.mp3"}));
}

INSTANTIATE_TEST_SUITE_P(StopPlayer, AlarmStoryPlayerTest, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "On" : "Off"); });

} // namespace
} // namespace quietmon
