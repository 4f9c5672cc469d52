#include "app/TForm1.h"

#include "audio/ui/TFBVUMeter.h"
#include "fakes/FakeDesktop.h"
#include "setup/TPasswordDlg.h"
#include "setup/TSetup.h"
#include "support/MonitorHarness.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace quietmon {
namespace {

// The main window on Qt's offscreen platform, created in the program's order, in virtual time.
class TForm1Test : public ::testing::Test, protected test::MonitorHarness {
protected:
    void start(const std::string& settingsFile = "") {
        writeSettings(settingsFile);
        form = std::make_unique<TForm1>(monitor, desktop, messages);
        setup = std::make_unique<TSetup>(monitor, *form);
        password = std::make_unique<TPasswordDlg>(form.get());
        form->setDialogs(setup.get(), password.get());
        loop.advance(10); // the start-up visibility tick
    }
    void TearDown() override {
        password.reset();
        setup.reset();
        form.reset();
    }
    // Answers the next modal dialog that opens.
    static void whenADialogOpens(const std::function<void(QWidget*)>& answer) {
        QTimer::singleShot(0, [answer] { answer(QApplication::activeModalWidget()); });
    }

    test::FakeDesktop desktop;
    test::FakeMessageBoxes messages;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TSetup> setup;
    std::unique_ptr<TPasswordDlg> password;
};

TEST_F(TForm1Test, ShowsThePartsCaptionsInAClientAreaOf319By139) {
    start();
    EXPECT_EQ(form->size(), QSize(319, 139));
    EXPECT_EQ(form->windowTitle(), "Orvane Silence Detector ");
    EXPECT_EQ(form->statusLabel().text(), "Alarm not active");
    EXPECT_EQ(form->mixerButton().text(), "Mixer");
    EXPECT_EQ(form->setupButton().text(), "Setup");
    EXPECT_EQ(form->hideButton().text(), "Hide");
    EXPECT_EQ(form->exitButton().text(), "Exit");
    EXPECT_EQ(form->sinceLabel().text(), "Since: 14.03.2026 7:05");
    EXPECT_EQ(form->trackBar().minimum(), 0);
    EXPECT_EQ(form->trackBar().maximum(), 40); // -MinThreshold once settings are applied
    EXPECT_EQ(form->trackBar().value(), 25);
    EXPECT_EQ(form->leftCaption().text(), "Audio Left");
    EXPECT_EQ(form->rightCaption().text(), "Audio Right");
}

TEST_F(TForm1Test, TheWindowAppearsOnlyAtTheFirstTick) {
    writeSettings("");
    form = std::make_unique<TForm1>(monitor, desktop, messages);
    setup = std::make_unique<TSetup>(monitor, *form);
    EXPECT_FALSE(form->isVisible());
    loop.advance(10);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(TForm1Test, VisibleZeroStartsHiddenWithOnlyTheTrayIcon) {
    start("[General]\nVisible=0\n");
    EXPECT_FALSE(form->isVisible());
    form->toggleVisibility();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(TForm1Test, WithoutATrayAHiddenStartIsAMinimisedWindow) {
    desktop.hasTray = false;
    start("[General]\nVisible=0\n");
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->isMinimized());
    form->toggleVisibility();
    EXPECT_FALSE(form->isMinimized());
    form->hideButton().click();
    EXPECT_TRUE(form->isMinimized());
    EXPECT_TRUE(form->isVisible());
}

TEST_F(TForm1Test, HideTogglesAndTheSavedVisibilityFollows) {
    start();
    form->hideButton().click();
    EXPECT_FALSE(form->isVisible());
    monitor.SaveCfg();
    EXPECT_EQ(IniFile::parse(settingsText()).read("General", "Visible"), "0");
    form->hideButton().click();
    EXPECT_TRUE(form->isVisible());
    monitor.SaveCfg();
    EXPECT_EQ(IniFile::parse(settingsText()).read("General", "Visible"), "1");
}

TEST_F(TForm1Test, TheTrayToggleIsADoubleClickOrASingleClickOnStatusNotifierHosts) {
    start();
    Q_EMIT form->trayIcon().activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(form->isVisible());
    Q_EMIT form->trayIcon().activated(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(form->isVisible());
    desktop.statusNotifierHost = true;
    Q_EMIT form->trayIcon().activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(TForm1Test, TheTrayMenuHoldsShowHideASeparatorAndExit) {
    start();
    const QList<QAction*> actions = form->trayIcon().contextMenu()->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), "Show/Hide");
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text(), "Exit");
    actions[0]->trigger();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(TForm1Test, ATitleOf50CharactersShowsItsFirst37InTheTrayTip) {
    const std::string title = "Studio A silence monitor, transmitter 1 - main-fm!";
    ASSERT_EQ(title.size(), 50u);
    start("[General]\nTitle=" + title + "\n");
    form->TrayUpdate();
    EXPECT_EQ(form->trayIcon().toolTip().toStdString(), title.substr(0, 37) + "\nAlarm not active");
}

TEST_F(TForm1Test, TheTrayTipGetsAStartUpStatusOnlyWithTheNextUpdate) {
    start("[General]\nStartUpStatus=1\n");
    EXPECT_EQ(form->trayIcon().toolTip(), "Orvane Silence Detector \nAlarm not active");
    EXPECT_EQ(form->statusLabel().text(), "Silence!");
    EXPECT_EQ(form->statusLabel().palette().color(QPalette::WindowText), QColor(Qt::red));
    form->TrayUpdate();
    EXPECT_EQ(form->trayIcon().toolTip(), "Orvane Silence Detector \nSilence!");
}

TEST_F(TForm1Test, AnEmptyTitleBecomesTheProductNameWhenSettingsAreApplied) {
    start();
    monitor.settings().general.title = "";
    form->SetPref();
    EXPECT_EQ(monitor.settings().general.title, "Orvane Silence Detector");
    EXPECT_EQ(form->windowTitle(), "Orvane Silence Detector");
}

TEST_F(TForm1Test, ATopBelowTheScreenIsPulledUpAndANegativeLeftStays) {
    start("[General]\nTop=5000\nLeft=-50\n");
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // The window manager's frame is not known before the window is first shown.
    EXPECT_EQ(form->pos().y(), screen.height() - TForm1::clientHeight);
    EXPECT_EQ(form->pos().x(), -50);
}

TEST_F(TForm1Test, ALeftBeyondTheScreenIsPulledBack) {
    start("[General]\nLeft=5000\nTop=30\n");
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(form->pos().x(), screen.width() - TForm1::clientWidth);
    EXPECT_EQ(form->pos().y(), 30);
}

TEST_F(TForm1Test, SettingsApplyPriorityLockStayOnTopAndTheSliderRange) {
    start("[General]\nIdlePriority=1\nLockTrackbar=1\nAlwaysOnTop=1\nMinThreshold=-40\nThreshold=60\n");
    EXPECT_EQ(desktop.priorities, (std::vector<bool>{true}));
    EXPECT_FALSE(form->trackBar().isEnabled());
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(form->trackBar().maximum(), 40);
    EXPECT_EQ(form->trackBar().value(), 40);
    EXPECT_EQ(monitor.settings().state.threshold, 40);
}

TEST_F(TForm1Test, TheChannelRuleGreysTheOtherChannel) {
    start("[Activation]\nChannels=2\n[General]\nLeftName=Studio\nRightName=Backup\n");
    EXPECT_EQ(form->leftCaption().text(), "Audio Studio");
    EXPECT_EQ(form->rightCaption().text(), "Audio Backup");
    EXPECT_TRUE(form->leftCaption().isEnabled());
    EXPECT_FALSE(form->rightCaption().isEnabled());
    EXPECT_FALSE(form->rightValue().isEnabled());
    monitor.settings().activation.channels = 3;
    form->SetPref();
    EXPECT_FALSE(form->leftCaption().isEnabled());
    EXPECT_FALSE(form->leftValue().isEnabled());
    EXPECT_TRUE(form->rightCaption().isEnabled());
    monitor.settings().activation.channels = 1;
    form->SetPref();
    EXPECT_TRUE(form->leftCaption().isEnabled() && form->rightCaption().isEnabled());
}

TEST_F(TForm1Test, SetupOpensWithoutAPasswordThenAppliesAndSavesTheSettings) {
    start();
    bool setupWasShown = false;
    whenADialogOpens([&](QWidget* dialog) {
        setupWasShown = dialog == setup.get() && monitor.setupShown();
        monitor.settings().activation.silence = 42;
        setup->reject();
    });
    form->setupButton().click();
    EXPECT_TRUE(setupWasShown);
    EXPECT_FALSE(monitor.setupShown());
    EXPECT_EQ(monitor.Timer1().interval(), 42'001);
    EXPECT_EQ(IniFile::parse(settingsText()).read("Activation", "Silence"), "42");
}

TEST_F(TForm1Test, ACancelledPasswordKeepsSetupClosed) {
    start("[General]\nSetupPassword=jhkjii\n");
    whenADialogOpens([&](QWidget* dialog) {
        EXPECT_EQ(dialog, password.get());
        password->reject();
    });
    form->setupButton().click();
    EXPECT_FALSE(monitor.setupShown());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(dataFolder + "/quietmon.ini.saved"));
}

TEST_F(TForm1Test, AWrongPasswordShowsInvalidPasswordAndOpensNothing) {
    start("[General]\nSetupPassword=jhkjii\n");
    whenADialogOpens([&](QWidget*) {
        password->passwordField().setText("ABC");
        password->accept();
    });
    form->mixerButton().click();
    EXPECT_EQ(messages.shown, (std::vector<std::string>{"Invalid password!"}));
    EXPECT_EQ(desktop.mixerStarts, 0);
}

TEST_F(TForm1Test, AMissingMixerIsNamedInAMessage) {
    desktop.mixerInstalled = false;
    start();
    form->mixerButton().click();
    EXPECT_EQ(desktop.mixerStarts, 1);
    EXPECT_EQ(messages.shown,
              (std::vector<std::string>{"Can't find pavucontrol. \nUse the original soundcard's "
                                        "software to set the recording properties."}));
}

TEST_F(TForm1Test, ExitSavesTheWindowStateAndLogsExitLast) {
    start("[General]\nLogEvents=1\nTop=40\nLeft=60\n");
    form->trackBar().setValue(30);
    form->exitButton().click();
    EXPECT_FALSE(form->isVisible());
    const IniFile saved = IniFile::parse(settingsText());
    EXPECT_EQ(saved.read("General", "Threshold"), "30");
    EXPECT_EQ(saved.read("General", "Top"), "40");
    EXPECT_EQ(saved.read("General", "Left"), "60");
    EXPECT_EQ(saved.read("General", "Visible"), "1");
    EXPECT_TRUE(logText().ends_with("; Exit\r\n"));
    EXPECT_NE(logText().find("starting up...\r\n"), std::string::npos);
}

TEST_F(TForm1Test, AnErrorInAButtonHandlerIsLoggedAndTheWindowGoesOn) {
    start("[General]\nLogEvents=1\n");
    loop.runGuarded([] { throw std::runtime_error("Access violation"); });
    form->hideButton().click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_NE(logText().find("; Application Error - Access violation\r\n"), std::string::npos);
}

TEST_F(TForm1Test, TheThresholdLineAndTheMeterFollowTheSlider) {
    start();
    EXPECT_EQ(form->thresholdValue().text(), "-25 dB");
    const VuMeterTable& table = form->meter().table();
    EXPECT_EQ(table.levelMin(), -40);
    EXPECT_EQ(table.levelMed(), -25);
    EXPECT_EQ(table.levelHigh(), -6);
    EXPECT_EQ(table.N(), 38);
    EXPECT_EQ(table.segments()[14].colour, meter_colour::red);
    EXPECT_EQ(table.segments()[15].colour, meter_colour::lime);
    EXPECT_EQ(table.segments()[33].colour, meter_colour::yellow);
    form->trackBar().setValue(0);
    EXPECT_EQ(form->thresholdValue().text(), "0 dB");
    EXPECT_EQ(monitor.settings().state.threshold, 0);
}

TEST_F(TForm1Test, AStoredThresholdBeyondMinThresholdIsPulledBack) {
    start("[General]\nMinThreshold=-40\nThreshold=60\n");
    EXPECT_EQ(form->trackBar().value(), 40);
    EXPECT_EQ(form->thresholdValue().text(), "-40 dB");
    EXPECT_EQ(form->meter().table().levelHigh(), -6);
    monitor.settings().general.minThreshold = -96;
    form->SetPref();
    form->trackBar().setValue(96);
    EXPECT_EQ(form->meter().table().levelHigh(), -14); // -96 * 6 / 40, truncated toward zero
}

TEST_F(TForm1Test, MeasuredLevelsLightTheMeterAndColourSilentLabels) {
    start();
    waveIn.fill(1, 16384); // -6 dB on both channels; -1.2 dB on the meter
    loop.runPending();
    EXPECT_EQ(form->leftValue().text(), "-6 dB");
    EXPECT_EQ(form->rightValue().text(), "-6 dB");
    const VuMeterTable& table = form->meter().table();
    const double meterValue = 16384 / 32767.0 * 1.2;
    int expectedLit = 0;
    while (expectedLit < table.N() && table.segments()[std::size_t(expectedLit)].threshold < meterValue)
        ++expectedLit;
    EXPECT_EQ(table.litCount(0), expectedLit);
    EXPECT_EQ(table.litCount(1), expectedLit);
    EXPECT_GT(expectedLit, 30);
    // The lit segments are drawn in their colour, the others unlit.
    const QImage& image = form->meter().image();
    EXPECT_EQ(image.pixelColor(5, table.lineY(0)), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(5, table.lineY(table.N())), QColor(127, 127, 0));
    EXPECT_NE(form->leftValue().palette().color(QPalette::WindowText), QColor(Qt::red));
    loop.advance(2000);
    for (int i = 0; i < 12; ++i) {
        waveIn.fill(1, 0);
        loop.runPending();
    }
    EXPECT_EQ(form->leftValue().text(), "-96 dB");
    EXPECT_EQ(form->leftValue().palette().color(QPalette::WindowText), QColor(Qt::red));
}

TEST_F(TForm1Test, AHiddenWindowRedrawsNothingAndCatchesUpWhenShown) {
    start();
    form->hideButton().click();
    waveIn.fill(1, 16384);
    loop.runPending();
    EXPECT_EQ(form->leftValue().text(), "0 dB"); // untouched while hidden
    form->hideButton().click();
    EXPECT_EQ(form->leftValue().text(), "-6 dB");
}

TEST(TPasswordDlgTest, AsksForAtMost16HiddenCharactersInAFreshFieldEachTime) {
    TPasswordDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Password required");
    EXPECT_EQ(dialog.passwordField().maxLength(), 16);
    EXPECT_EQ(dialog.passwordField().echoMode(), QLineEdit::Password);
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(dialog.passwordField().text().isEmpty());
        EXPECT_EQ(dialog.focusWidget(), &dialog.passwordField());
        dialog.passwordField().setText("secret");
        dialog.accept();
    });
    EXPECT_EQ(dialog.askPassword(), "secret");
    EXPECT_TRUE(dialog.passwordField().text().isEmpty());
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(dialog.passwordField().text().isEmpty());
        dialog.passwordField().setText("typed");
        dialog.reject();
    });
    EXPECT_EQ(dialog.askPassword(), std::nullopt);
}

TEST(TPasswordDlgTest, OkIsTheDefaultButton) {
    TPasswordDlg dialog;
    const auto buttons = dialog.findChildren<QPushButton*>();
    const auto ok =
        std::find_if(buttons.begin(), buttons.end(), [](QPushButton* b) { return b->isDefault(); });
    ASSERT_NE(ok, buttons.end());
    EXPECT_EQ((*ok)->text().remove('&'), "OK");
}

} // namespace
} // namespace quietmon
