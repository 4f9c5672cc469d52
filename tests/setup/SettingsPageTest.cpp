#include "config/IniFile.h"
#include "setup/SetupDialogHarness.h"

#include <QCheckBox>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

using test::FakeNetworkStreams;
using test::SetupDialogHarness;

std::string saved(SetupDialogHarness& dialog, const char* key) {
    dialog.monitor.saveSettings();
    return IniFile::parse(dialog.settingsText()).read("General", key).value_or("(absent)");
}

TEST(SettingsPage, TheWindowCaptionFollowsEachKeystrokeAndTheTrayTipFollowsOnLeavingTheTitle) {
    SetupDialogHarness dialog;
    dialog.start("[General]\nTitle=Old\n");
    auto& title = dialog.field<QLineEdit>("General/Title");
    const QString trayTip = dialog.window->trayIcon().toolTip();
    EXPECT_TRUE(trayTip.startsWith("Old\n"));
    SetupDialogHarness::type(title, "");
    QString typed;
    for (const char key : std::string("Studio")) {
        QTest::keyClick(&title, key);
        typed += QLatin1Char(key);
        EXPECT_EQ(dialog.window->windowTitle(), typed);
    }
    EXPECT_EQ(dialog.window->trayIcon().toolTip(), trayTip);
    dialog.leave(title);
    EXPECT_TRUE(dialog.window->trayIcon().toolTip().startsWith("Studio\n"));
}

TEST(SettingsPage, WithoutABuiltInPlayerItsOptionIsClearedLockedAndSavedOff) {
    for (const bool playerAvailable : {false, true}) {
        SCOPED_TRACE(playerAvailable);
        SetupDialogHarness dialog;
        dialog.monitor.setPlayerAvailable(playerAvailable);
        dialog.start("[General]\nInternalPlayer=1\n");
        auto& option = dialog.field<QCheckBox>("General/InternalPlayer");
        EXPECT_EQ(option.isChecked(), playerAvailable);
        EXPECT_EQ(option.isEnabled(), playerAvailable);
        EXPECT_EQ(dialog.field<QCheckBox>("General/StopPlayer").isEnabled(), playerAvailable);
        EXPECT_EQ(saved(dialog, "InternalPlayer"), playerAvailable ? "1" : "0");
    }
}

TEST(SettingsPage, StoppingThePlayerCanBeTickedOnlyWhileTheBuiltInPlayerIsUsed) {
    SetupDialogHarness dialog;
    dialog.monitor.setPlayerAvailable(true);
    dialog.start("[General]\nInternalPlayer=0\n");
    auto& stopPlayer = dialog.field<QCheckBox>("General/StopPlayer");
    for (const bool used : {true, false}) {
        dialog.showPage("Settings");
        dialog.field<QCheckBox>("General/InternalPlayer").click();
        dialog.showPage("Alarm Activation");
        EXPECT_EQ(stopPlayer.isEnabled(), used);
    }
}

TEST(SettingsPage, TheDeviceSelectorListsTheInputsAndEditsTheLineAndItsNameTogether) {
    SetupDialogHarness dialog;
    // The fakes offer "default", "pulse" and the null sink's monitor.
    dialog.start("[General]\nAudioInDevice=0\nAudioInDeviceName=PULSE\n");
    auto& device = dialog.field<QComboBox>("General/AudioInDevice");
    ASSERT_EQ(device.count(), 3);
    EXPECT_EQ(device.itemText(2), "Active endpoint listening: Monitor of Null Output");
    EXPECT_EQ(device.currentText(), "pulse");
    SetupDialogHarness::choose(device, 2);
    EXPECT_EQ(saved(dialog, "AudioInDevice"), "2");
    EXPECT_EQ(saved(dialog, "AudioInDeviceName"), "Active endpoint listening: Monitor of Null Output");
}

TEST(SettingsPage, AnEmptyDeviceListOffersDefault) {
    SetupDialogHarness dialog;
    dialog.waveIn.names.clear();
    dialog.endpoints.endpoints.clear();
    dialog.start();
    auto& device = dialog.field<QComboBox>("General/AudioInDevice");
    ASSERT_EQ(device.count(), 1);
    EXPECT_EQ(device.currentText(), "(Default)");
}

TEST(SettingsPage, TheStreamAddressIsEditableOnlyWhileTheStreamLineIsChosen) {
    SetupDialogHarness dialog;
    FakeNetworkStreams streams{dialog.loop};
    dialog.monitor.offerNetworkStreams(streams);
    dialog.start("[General]\nAudioInDeviceName=pulse\nStreamAddress=http://radio.test/live\n");
    auto& device = dialog.field<QComboBox>("General/AudioInDevice");
    auto& address = dialog.field<QLineEdit>("General/StreamAddress");
    ASSERT_EQ(device.count(), 4);
    EXPECT_EQ(device.itemText(3), "Network stream");
    EXPECT_FALSE(address.isEnabled());
    SetupDialogHarness::choose(device, 3);
    EXPECT_TRUE(address.isEnabled());
    EXPECT_EQ(saved(dialog, "AudioInDeviceName"), "Network stream");
    EXPECT_EQ(saved(dialog, "StreamAddress"), "http://radio.test/live");
    SetupDialogHarness::choose(device, 0);
    EXPECT_FALSE(address.isEnabled());
}

} // namespace
} // namespace quietmon
