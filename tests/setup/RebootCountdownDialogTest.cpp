// The countdown dialog in virtual time, deciding a real reboot request to a fake logind on a system bus of
// the test's own.
#include "setup/RebootCountdownDialog.h"

#include "platform/linux/LogindShutdown.h"
#include "runtime/VirtualEventLoop.h"
#include "support/FakeLogind.h"
#include "tasks/reboot/SystemRebooter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <ostream>

namespace quietmon {
namespace {

using Strings = std::vector<std::string>;

class RebootCountdownDialogTest : public ::testing::Test {
protected:
    VirtualEventLoop loop;
    RebootCountdownDialog dialog{loop};
};

TEST_F(RebootCountdownDialogTest, AsksInBoldWithNoBeforeYesAndNoTitleBarButtons) {
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Warning");
    EXPECT_EQ(dialog.question().text(), "Reboot the system?");
    EXPECT_TRUE(dialog.question().font().bold());
    EXPECT_EQ(dialog.progress().minimum(), 0);
    EXPECT_EQ(dialog.progress().maximum(), 30);
    EXPECT_EQ(dialog.progress().value(), 0);
    EXPECT_EQ(dialog.noButton().text(), "No");
    EXPECT_EQ(dialog.yesButton().text(), "Yes");
    EXPECT_TRUE(dialog.noButton().isDefault());
    EXPECT_LT(dialog.noButton().x(), dialog.yesButton().x());
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    dialog.done(RebootCountdownDialog::noResult);
}

void press(QWidget& widget, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

struct CountdownCase {
    const char* name;
    std::function<void(RebootCountdownDialog&, VirtualEventLoop&)> answer;
    bool doReboot;
    Strings logindCalls;
    Strings log;
};

void PrintTo(const CountdownCase& countdown, std::ostream* out) {
    *out << countdown.name;
}

void runOut(RebootCountdownDialog& dialog, VirtualEventLoop& loop) {
    loop.advance(29 * 200);
    EXPECT_EQ(dialog.progress().value(), 29);
    EXPECT_TRUE(dialog.isVisible());
    loop.advance(200);
    EXPECT_FALSE(dialog.isVisible());
}

class RebootCountdownStoryTest : public RebootCountdownDialogTest,
                                 public ::testing::WithParamInterface<CountdownCase> {
protected:
    test::FakeLogind logind;
    LogindShutdown shutdown;
};

TEST_P(RebootCountdownStoryTest, OnlyTheCountdownRunningOutOrYesReachesLogind) {
    ASSERT_TRUE(logind.ownsTheSystemBus()) << "a test must never reach the computer's own logind";
    Strings log;
    bool closed = false;
    SystemRebooter rebooter(
        dialog, shutdown, [&log](const std::string& text) { log.push_back(text); }, [](bool) {},
        [&closed] { closed = true; });
    QTimer::singleShot(0, [this] { GetParam().answer(dialog, loop); });
    RebootSettings settings;
    settings.kind = GetParam().doReboot ? RebootKind::Reboot : RebootKind::Shutdown;
    rebooter.reboot(settings);
    EXPECT_EQ(logind.calls(), GetParam().logindCalls);
    EXPECT_EQ(log, GetParam().log);
    EXPECT_EQ(closed, !GetParam().logindCalls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RebootCountdownStoryTest,
    ::testing::Values(
        CountdownCase{"countdownRunsOut", runOut, true, {"CanReboot", "Reboot False"}, {}},
        CountdownCase{"countdownRunsOutForAShutdown", runOut, false, {"CanPowerOff", "PowerOff False"}, {}},
        CountdownCase{"yes",
                      [](RebootCountdownDialog& dialog, VirtualEventLoop&) { dialog.yesButton().click(); },
                      true,
                      {"CanReboot", "Reboot False"},
                      {}},
        CountdownCase{"no",
                      [](RebootCountdownDialog& dialog, VirtualEventLoop&) { dialog.noButton().click(); },
                      true,
                      {},
                      {"Reboot suppressed by user"}},
        CountdownCase{"enter",
                      [](RebootCountdownDialog& dialog, VirtualEventLoop&) { press(dialog, Qt::Key_Return); },
                      true,
                      {},
                      {"Reboot suppressed by user"}},
        CountdownCase{"escape",
                      [](RebootCountdownDialog& dialog, VirtualEventLoop&) { press(dialog, Qt::Key_Escape); },
                      true,
                      {},
                      {"Reboot suppressed by user"}}));

TEST_F(RebootCountdownDialogTest, EveryShowingCountsFromTheStartAndNoStopsTheCount) {
    QTimer::singleShot(0, [this] {
        loop.advance(10 * 200);
        dialog.noButton().click();
    });
    EXPECT_EQ(dialog.askToReboot(), RebootAnswer::No);
    loop.advance(10'000);
    EXPECT_EQ(dialog.progress().value(), 10);
    QTimer::singleShot(0, [this] { runOut(dialog, loop); });
    EXPECT_EQ(dialog.askToReboot(), RebootAnswer::CountdownEnded);
}

} // namespace
} // namespace quietmon
