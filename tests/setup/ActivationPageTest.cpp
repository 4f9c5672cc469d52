#include "setup/SetupDialogHarness.h"

#include <QCheckBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

using test::SetupDialogHarness;

QStringList linesOf(const QComboBox& box) {
    QStringList lines;
    for (int line = 0; line < box.count(); ++line)
        lines << box.itemText(line);
    return lines;
}

TEST(ActivationPage, ARenamedChannelIsNamedWhenThePageIsShownAgainAndTheRuleStaysSelected) {
    for (const int rule : {2, 3}) {
        SCOPED_TRACE(rule);
        SetupDialogHarness dialog;
        dialog.start("[Activation]\nChannels=" + std::to_string(rule) + "\n[General]\nRightName=Backup\n");
        auto& channels = dialog.field<QComboBox>("Activation/Channels");
        EXPECT_EQ(linesOf(channels), QStringList({"in both channels", "in any channel", "in channel Left",
                                                  "in channel Backup"}));
        dialog.showPage("Settings");
        SetupDialogHarness::type(dialog.field<QLineEdit>("General/LeftName"), "Main");
        dialog.showPage("Alarm Activation");
        EXPECT_EQ(linesOf(channels), QStringList({"in both channels", "in any channel", "in channel Main",
                                                  "in channel Backup"}));
        EXPECT_EQ(channels.currentIndex(), rule);
        EXPECT_EQ(dialog.monitor.settings().activation.channels, static_cast<ChannelRule>(rule));
    }
}

TEST(ActivationPage, TheSilenceBoxStaysTickedWhenClicked) {
    SetupDialogHarness dialog;
    dialog.start();
    auto* silence = dialog.setup->findChild<QCheckBox*>(QStringLiteral("silenceCondition"));
    ASSERT_NE(silence, nullptr);
    silence->click();
    EXPECT_TRUE(silence->isChecked());
}

TEST(ActivationPage, ChangingBetweenTitleAndClassEmptiesTheWindowText) {
    for (const int from : {0, 1}) {
        SCOPED_TRACE(from);
        SetupDialogHarness dialog;
        dialog.start("[Activation]\nWindow=Playout\nTitleClass=" + std::to_string(from) + "\n");
        auto& window = dialog.field<QLineEdit>("Activation/Window");
        EXPECT_EQ(window.text(), "Playout");
        SetupDialogHarness::choose(dialog.field<QComboBox>("Activation/TitleClass"), 1 - from);
        EXPECT_EQ(window.text(), "");
        EXPECT_EQ(dialog.monitor.settings().activation.window, "");
        EXPECT_EQ(dialog.monitor.settings().activation.windowMatch, static_cast<WindowMatch>(1 - from));
    }
}

TEST(ActivationPage, FindPutsTheChosenWindowsTitleOrClassIntoTheWindowText) {
    const ChosenWindow playout{"xterm", "Playout - Studio 1"};
    struct Case {
        const char* titleClass;
        std::optional<ChosenWindow> chosen; // nothing: cancelled
        const char* text;
    };
    for (const Case& c : {Case{"0", playout, "Playout - Studio 1"}, Case{"1", playout, "xterm"},
                          Case{"1", ChosenWindow{}, ""}, // OK on an empty list
                          Case{"0", std::nullopt, "Earlier"}}) {
        SCOPED_TRACE(c.text);
        SetupDialogHarness dialog;
        dialog.start(std::string("[Activation]\nWindow=Earlier\nTitleClass=") + c.titleClass + "\n");
        dialog.windowPicker.answer = c.chosen;
        auto* find = dialog.showPage(QStringLiteral("Alarm Activation")).findChild<QPushButton*>();
        ASSERT_EQ(find->text(), "Find");
        QTest::mouseClick(find, Qt::LeftButton);
        EXPECT_EQ(dialog.windowPicker.asked, 1);
        EXPECT_EQ(dialog.field<QLineEdit>("Activation/Window").text(), c.text);
        EXPECT_EQ(dialog.monitor.settings().activation.window, c.text);
    }
}

} // namespace
} // namespace quietmon
