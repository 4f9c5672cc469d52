#include "fakes/FakeDesktop.h"
#include "monitor/StatusBoard.h"
#include "support/MonitorHarness.h"
#include "support/Unprivileged.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/resource.h>

namespace quietmon {
namespace {

class MonitorTest : public ::testing::Test, protected test::MonitorHarness {
protected:
    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        const std::string text = logText();
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = text.find("\r\n", start);
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    test::FakePasswordPrompt prompt;
    test::FakeMessageBoxes messages;
};

TEST_F(MonitorTest, AStartAndExitLogTheStartUpLineFirstAndExitLast) {
    writeSettings("[General]\nLogEvents=1\n");
    startUp();
    loop.advance(61'000);
    monitor.close();
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{"2026-03-14 07:05:09; Orvane Silence Detector v. 1.4d starting up...",
                                        "2026-03-14 07:05:12; Audio input lost", // no first buffer within 3 s
                                        "2026-03-14 07:06:10; Exit"}));
}

TEST_F(MonitorTest, ASettingsFileEditedWhileRunningIsKeptBesideItBeforeTheSave) {
    writeSettings("[General]\nLogEvents=1\n");
    startUp();
    monitor.saveSettings(); // the program's own save changes nothing worth keeping
    const std::string edited = settingsText() + "[Notes]\nStudio=B\n";
    writeSettings(edited);
    loop.advance(60'000);
    monitor.close();
    const std::string copy = dataFolder + "/quietmon.ini.edited-20260314-070609";
    EXPECT_EQ(test::readWholeFile(copy), edited);
    EXPECT_NE(logText().find("2026-03-14 07:06:09; Settings file changed while running; the edited copy was "
                             "kept as quietmon.ini.edited-20260314-070609\r\n"),
              std::string::npos);
    EXPECT_EQ(IniFile::parse(settingsText()).read("Notes", "Studio"), "B"); // unknown lines stay
}

TEST_F(MonitorTest, OnlyTheTenNewestEditedCopiesAreKept) {
    writeSettings("");
    startUp();
    for (int edit = 1; edit <= 12; ++edit) {
        writeSettings("[Notes]\nEdit=" + std::to_string(edit) + "\n");
        loop.advance(1000);
        monitor.saveSettings();
    }
    std::vector<std::string> copies;
    for (const auto& entry : std::filesystem::directory_iterator(dataFolder))
        if (entry.path().filename().string().starts_with("quietmon.ini.edited-"))
            copies.push_back(entry.path().string());
    std::sort(copies.begin(), copies.end());
    ASSERT_EQ(copies.size(), 10u);
    EXPECT_EQ(test::readWholeFile(copies.front()), "[Notes]\nEdit=3\n");
    EXPECT_EQ(test::readWholeFile(copies.back()), "[Notes]\nEdit=12\n");
}

TEST_F(MonitorTest, AFileCreatedByHandWhileRunningIsKeptToo) {
    startUp(); // no settings file at start
    writeSettings("[Activation]\nSilence=20\n");
    monitor.saveSettings();
    EXPECT_EQ(test::readWholeFile(dataFolder + "/quietmon.ini.edited-20260314-070509"),
              "[Activation]\nSilence=20\n");
}

TEST_F(MonitorTest, ASaveTheDiskRefusesIsLoggedAndLeavesTheOldFileWhole) {
    writeSettings("[General]\nLogEvents=1\n");
    startUp();
    const std::string before = settingsText();
    // A file-size limit below the size of the whole file stands in for a full disk.
    const int child = test::runInChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        monitor.saveSettings();
        return 0;
    });
    ASSERT_EQ(child, 0);
    EXPECT_EQ(settingsText(), before);
    EXPECT_EQ(logLines().back(), "2026-03-14 07:05:09; Settings not saved - File too large");
}

TEST_F(MonitorTest, ASettingsFileOverAMegabyteIsLoggedLeftAsItIsAndTheDefaultsAreUsed) {
    std::string big = "[Activation]\r\nSilence=10\r\n[General]\r\nLogEvents=0\r\n";
    big.resize(1024 * 1024 + 1, '\n');
    writeSettings(big);
    startUp();
    EXPECT_EQ(monitor.settings().activation.silenceSeconds, 300);
    monitor.saveSettings(); // as when the Setup dialog closes
    monitor.close();
    EXPECT_EQ(settingsText(), big);
    // The log is opened for the refusal although the defaults keep "Log events" off.
    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0],
              "2026-03-14 07:05:09; Settings file not read - larger than 1048576 bytes; the defaults are "
              "used and the file is left as it is");
    EXPECT_EQ(lines[2],
              "2026-03-14 07:05:09; Settings not saved - the settings file is larger than 1048576 bytes");
    EXPECT_EQ(lines[3], lines[2]); // at exit too
}

TEST_F(MonitorTest, ADeviceThatCannotBeOpenedIsLoggedBeforeTheStartUpLine) {
    writeSettings("[General]\nLogEvents=1\n");
    waveIn.failOpen = true;
    startUp();
    EXPECT_EQ(logLines(), (std::vector<std::string>{
                              "2026-03-14 07:05:09; Can't open input audio device",
                              "2026-03-14 07:05:09; Orvane Silence Detector v. 1.4d starting up..."}));
}

TEST_F(MonitorTest, NoDeviceAtAllIsLoggedBeforeTheStartUpLine) {
    writeSettings("[General]\nLogEvents=1\n");
    waveIn.names.clear();
    endpoints.endpoints.clear();
    startUp();
    EXPECT_EQ(logLines().front(), "2026-03-14 07:05:09; No audio device selected");
    monitor.close();
    EXPECT_EQ(IniFile::parse(settingsText()).read("General", "AudioInDeviceName"), "(Default)");
}

TEST_F(MonitorTest, TheCaptureRunsFromStartUpAndStopsAtExit) {
    writeSettings("[General]\nAudioInDeviceName=PULSE\n");
    startUp();
    ASSERT_NE(waveIn.openDevice, nullptr);
    EXPECT_EQ(waveIn.openedNumbers, (std::vector<int>{1}));
    monitor.close();
    monitor.stopCapture();
    EXPECT_EQ(waveIn.openDevice, nullptr);
    const IniFile saved = IniFile::parse(settingsText());
    EXPECT_EQ(saved.read("General", "AudioInDevice"), "1");
    EXPECT_EQ(saved.read("General", "AudioInDeviceName"), "pulse");
}

TEST_F(MonitorTest, LogEventsOffCreatesNoLog) {
    startUp();
    monitor.close();
    EXPECT_FALSE(std::filesystem::exists(dataFolder + "/quietmon.log"));
    EXPECT_FALSE(monitor.log().loggingActive());
}

TEST_F(MonitorTest, ExitSavesEveryKeyWithTheAlarmStateAndTheExecutorPosition) {
    writeSettings("[General]\nStartUpStatus=1\n");
    startUp();
    monitor.close();
    const IniFile saved = IniFile::parse(settingsText());
    EXPECT_EQ(saved.read("General", "Alarm"), "1");
    EXPECT_EQ(saved.read("General", "LastTask"), "999");
    EXPECT_EQ(saved.read("General", "Repeats"), "99999");
    EXPECT_EQ(saved.read("General", "DateTime"), "2026-03-14 07:05:09");
    EXPECT_EQ(saved.read("Reboot", "Reboot"), "0");
    EXPECT_EQ(saved.read("RetTasks", "Task8"), "");
}

TEST_F(MonitorTest, StartUpStatusAlarmNotActive) {
    writeSettings("[General]\nStartUpStatus=0\nAlarm=1\nLastTask=3\nRepeats=2\n");
    startUp();
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_EQ(monitor.statusText(), "Alarm not active");
    EXPECT_EQ(monitor.taskPosition(), std::nullopt);
    EXPECT_EQ(monitor.repeatCount(), 99999);
}

TEST_F(MonitorTest, StartUpStatusSilenceEntersTheAlarmWithoutTasks) {
    writeSettings("[General]\nStartUpStatus=1\nLastTask=3\n");
    startUp();
    EXPECT_TRUE(monitor.alarmActive());
    EXPECT_EQ(monitor.statusText(), "Silence!");
    EXPECT_EQ(monitor.taskPosition(), std::nullopt);
    EXPECT_EQ(monitor.repeatCount(), 99999);
}

TEST_F(MonitorTest, InvokeLastStatusAfterANormalExitDuringAnAlarmShowsSilence) {
    writeSettings("[General]\nStartUpStatus=2\nAlarm=1\nLastTask=3\nRepeats=2\n[Reboot]\nReboot=0\n");
    startUp();
    EXPECT_TRUE(monitor.alarmActive());
    EXPECT_EQ(monitor.statusText(), "Silence!");
    EXPECT_EQ(monitor.startupStatus(), StartupStatusEffect::Status::Silence);
    EXPECT_EQ(monitor.taskPosition(), 3);
    EXPECT_EQ(monitor.repeatCount(), 2);
}

TEST_F(MonitorTest, InvokeLastStatusAfterItsOwnRebootResumesTheQueue) {
    writeSettings("[General]\nStartUpStatus=2\nAlarm=1\nLastTask=3\nRepeats=2\n[Reboot]\nReboot=1\n");
    startUp();
    EXPECT_TRUE(monitor.alarmActive());
    EXPECT_EQ(monitor.statusText(), "Silence! ...");
    EXPECT_EQ(monitor.startupStatus(), StartupStatusEffect::Status::ResumeQueue);
    EXPECT_FALSE(monitor.rebooting()); // the marker is false from every start on
}

TEST_F(MonitorTest, InvokeLastStatusWithoutASavedAlarmKeepsOnlyThePosition) {
    writeSettings("[General]\nStartUpStatus=2\nAlarm=0\nLastTask=3\nRepeats=2\n[Reboot]\nReboot=1\n");
    startUp();
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_EQ(monitor.statusText(), "Alarm not active");
    EXPECT_EQ(monitor.taskPosition(), 3);
    EXPECT_EQ(monitor.repeatCount(), 2);
}

TEST_F(MonitorTest, NoStartUpStatusLineKeepsTheLoadedPosition) {
    writeSettings("[General]\nStartUpStatus=7\nAlarm=1\nLastTask=5\nRepeats=1\n");
    startUp();
    EXPECT_FALSE(monitor.alarmActive());
    EXPECT_EQ(monitor.taskPosition(), 5);
    EXPECT_EQ(monitor.repeatCount(), 1);
}

TEST_F(MonitorTest, AppliedPreferencesSetTheCountdownIntervals) {
    writeSettings("[Activation]\nSilence=10\nReturn=0\n[General]\nPeakHoldTime=250\n");
    startUp();
    EXPECT_EQ(monitor.silenceTimer().interval(), 10'001);
    EXPECT_EQ(monitor.returnTimer().interval(), 1);
    EXPECT_EQ(monitor.endpointPollTimer().interval(), 250);
}

TEST_F(MonitorTest, AnEndpointMeterOpensAtStartUpForThePeakHoldTimeItIsPolledAt) {
    writeSettings(
        "[General]\nPeakHoldTime=250\nAudioInDeviceName=Active endpoint listening: Monitor of Null Output\n");
    startUp();
    EXPECT_EQ(endpoints.readIntervals, (std::vector<int>{250}));
}

TEST_F(MonitorTest, EmptyNamesAreFilledWhenPreferencesAreApplied) {
    writeSettings("[General]\nTitle=\nLeftName=\nRightName=\n");
    startUp();
    EXPECT_EQ(monitor.settings().general.title, "Orvane Silence Detector");
    EXPECT_EQ(monitor.settings().general.leftName, "Left");
    EXPECT_EQ(monitor.settings().general.rightName, "Right");
}

TEST_F(MonitorTest, ANamedMonitorIsTitledAndPublishedUnderItsName) {
    instanceName = "stream";
    startUp();         // no settings file: the defaults
    StatusBoard board; // as the status endpoint takes it, once started
    monitor.setStatusBoard(&board);
    EXPECT_EQ(monitor.settings().general.title, "Orvane Silence Detector - stream");
    EXPECT_EQ(board.latest()->monitor, "stream");
    EXPECT_EQ(board.latest()->title, "Orvane Silence Detector - stream");
}

TEST_F(MonitorTest, AnErrorEscapingAHandlerIsLoggedAndTheProgramGoesOn) {
    writeSettings("[General]\nLogEvents=1\n");
    startUp();
    bool laterEventRan = false;
    loop.post([] { throw std::runtime_error("Division by zero"); });
    loop.post([&] { laterEventRan = true; });
    auto timer = loop.createTimer([] { throw 42; });
    timer->setInterval(100);
    timer->setEnabled(true);
    loop.advance(100);
    EXPECT_TRUE(laterEventRan);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "2026-03-14 07:05:09; Application Error - Division by zero");
    EXPECT_EQ(lines[2], "2026-03-14 07:05:09; Application Error - Unknown exception");
}

TEST_F(MonitorTest, WithoutAPasswordTheGateOpensWithoutAsking) {
    startUp();
    EXPECT_TRUE(monitor.confirmSetupAccess(prompt, messages));
    EXPECT_EQ(prompt.asked, 0);
}

TEST_F(MonitorTest, TheRightPasswordOpensTheGate) {
    writeSettings("[General]\nSetupPassword=jhkjii\n"); // "abc"
    startUp();
    prompt.answers = {"abc"};
    EXPECT_TRUE(monitor.confirmSetupAccess(prompt, messages));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MonitorTest, APasswordInAnotherLetterCaseIsInvalid) {
    writeSettings("[General]\nSetupPassword=jhkjii\n");
    startUp();
    prompt.answers = {"ABC"};
    EXPECT_FALSE(monitor.confirmSetupAccess(prompt, messages));
    EXPECT_EQ(messages.shown, (std::vector<std::string>{"Invalid password!"}));
}

TEST_F(MonitorTest, CancellingThePasswordDialogRefusesSilently) {
    writeSettings("[General]\nSetupPassword=jhkjii\n");
    startUp();
    EXPECT_FALSE(monitor.confirmSetupAccess(prompt, messages));
    EXPECT_EQ(prompt.asked, 1);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MonitorTest, AnEmptyAnswerToAPasswordIsInvalid) {
    writeSettings("[General]\nSetupPassword=jhkjii\n");
    startUp();
    prompt.answers = {""};
    EXPECT_FALSE(monitor.confirmSetupAccess(prompt, messages));
    EXPECT_EQ(messages.shown, (std::vector<std::string>{"Invalid password!"}));
}

TEST_F(MonitorTest, AChangedPasswordAppliesToTheNextAsk) {
    writeSettings("[General]\nSetupPassword=jhkjii\n");
    startUp();
    monitor.settings().general.setupPassword = "new";
    prompt.answers = {"abc", "new"};
    EXPECT_FALSE(monitor.confirmSetupAccess(prompt, messages));
    EXPECT_TRUE(monitor.confirmSetupAccess(prompt, messages));
}

} // namespace
} // namespace quietmon
