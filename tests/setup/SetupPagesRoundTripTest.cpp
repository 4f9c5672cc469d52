#include "config/IniFile.h"
#include "setup/SetupDialogHarness.h"

#include <QCheckBox>
#include <QTimeEdit>
#include <gtest/gtest.h>
#include <vector>

namespace quietmon {
namespace {

using test::SetupDialogHarness;

// One field of the "Alarm Activation" and "Settings" pages: what it shows (a tick as "1" or "0", a choice
// as its line) and what the settings file holds for it. In page order, except that a field comes after
// the ones it depends on: the right channel's name before the channel rule that names it, the built-in
// player before the option to stop it, "title"/"class" before the window text it empties.
struct Field {
    const char* section;
    const char* key;
    const char* shown;
    const char* stored;
};

const std::vector<Field> fields{
    {"General", "IdlePriority", "1", "1"},
    {"General", "UseSystemFont", "0", "0"},
    {"General", "InternalPlayer", "1", "1"},
    {"General", "AlwaysOnTop", "1", "1"},
    {"General", "LogEvents", "1", "1"},
    {"General", "Title", "Studio A Monitor", "Studio A Monitor"},
    {"General", "LeftName", "Studio A", "Studio A"},
    {"General", "RightName", "Studio B", "Studio B"},
    {"General", "StartUpStatus", "(Invoke last status)", "2"},
    {"General", "SetupPassword", "abc", "jhkjii"},
    {"General", "StatusAddress", "0.0.0.0:9823", "0.0.0.0:9823"},
    {"General", "StatusToken", "a-token-of-22-letters!", "a-token-of-22-letters!"},
    {"General", "StartUpDelay", "90", "90"},
    {"General", "AudioInDevice", "pulse", "1"},
    {"General", "PeakHoldTime", "300", "300"},
    {"General", "MinThreshold", "-60", "-60"},
    {"General", "LockTrackbar", "1", "1"},
    {"General", "DCFilter", "0", "0"},
    {"General", "StopPlayer", "0", "0"},
    {"Activation", "Silence", "45", "45"},
    {"Activation", "Channels", "in channel Studio B", "3"},
    {"Activation", "Condition3", "1", "1"},
    {"Activation", "TimeOperator", "is not", "1"},
    {"Activation", "Time1", "7:05", "07:05:00"},
    {"Activation", "Time2", "17:30", "17:30:00"},
    {"Activation", "AlarmOperator", "or", "1"},
    {"Activation", "Condition2", "1", "1"},
    {"Activation", "DayOperator", "is not", "1"},
    {"Activation", "Monday", "1", "1"},
    {"Activation", "Tuesday", "0", "0"},
    {"Activation", "Wednesday", "1", "1"},
    {"Activation", "Thursday", "0", "0"},
    {"Activation", "Friday", "1", "1"},
    {"Activation", "Saturday", "0", "0"},
    {"Activation", "Sunday", "1", "1"},
    {"Activation", "Condition4", "1", "1"},
    {"Activation", "TitleClass", "class", "1"},
    {"Activation", "Window", "xterm", "xterm"},
    {"Activation", "WindowOperator", "is not", "1"},
    {"Activation", "Return", "12", "12"},
    {"Activation", "BreakQueue", "1", "1"},
};

std::string keyOf(const Field& field) {
    return std::string(field.section) + "/" + field.key;
}

// A dialog with the built-in player, so that both of its options can be edited.
void start(SetupDialogHarness& dialog, const std::string& settingsFile) {
    dialog.monitor.setPlayerAvailable(true);
    dialog.start(settingsFile);
}

// Shows the page that holds the widget, then edits the widget as the operator would.
void edit(SetupDialogHarness& dialog, QWidget& widget, const QString& shown) {
    QTabWidget& pages = dialog.setup->pages();
    for (int page = 0; page < pages.count(); ++page) {
        if (pages.widget(page)->isAncestorOf(&widget))
            pages.setCurrentIndex(page);
    }
    if (auto* tick = qobject_cast<QCheckBox*>(&widget)) {
        if (tick->isChecked() != (shown == "1"))
            tick->click();
    } else if (auto* choice = qobject_cast<QComboBox*>(&widget)) {
        ASSERT_GE(choice->findText(shown), 0);
        SetupDialogHarness::choose(*choice, choice->findText(shown));
    } else if (auto* time = qobject_cast<QTimeEdit*>(&widget)) {
        time->setTime(QTime::fromString(shown, QStringLiteral("H:mm")));
    } else if (auto* text = qobject_cast<QLineEdit*>(&widget)) {
        SetupDialogHarness::type(*text, shown);
        dialog.leave(*text);
    }
}

QString shownBy(const QWidget& widget) {
    if (const auto* tick = qobject_cast<const QCheckBox*>(&widget))
        return tick->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (const auto* choice = qobject_cast<const QComboBox*>(&widget))
        return choice->currentText();
    if (const auto* time = qobject_cast<const QTimeEdit*>(&widget))
        return time->text();
    if (const auto* text = qobject_cast<const QLineEdit*>(&widget))
        return text->text();
    return {};
}

TEST(SetupPages, EveryFieldSavesWhatWasTypedChosenOrTicked) {
    SetupDialogHarness dialog;
    start(dialog, "");
    for (const Field& field : fields) {
        SCOPED_TRACE(keyOf(field));
        edit(dialog, dialog.field<QWidget>(keyOf(field).c_str()), QString::fromLatin1(field.shown));
    }
    dialog.monitor.saveSettings();
    const IniFile saved = IniFile::parse(dialog.settingsText());
    for (const Field& field : fields)
        EXPECT_EQ(saved.read(field.section, field.key).value_or("(absent)"), field.stored) << keyOf(field);
    EXPECT_EQ(saved.read("General", "AudioInDeviceName"), "pulse");
}

TEST(SetupPages, AHandWrittenSettingsFileShowsInTheFieldsAsWritten) {
    std::string file;
    const char* section = "";
    for (const Field& field : fields) {
        if (std::string(section) != field.section)
            file += std::string("[") + (section = field.section) + "]\n";
        file += std::string(field.key) + "=" + field.stored + "\n";
    }
    SetupDialogHarness dialog;
    start(dialog, file);
    for (const Field& field : fields) {
        EXPECT_EQ(shownBy(dialog.field<QWidget>(keyOf(field).c_str())).toStdString(), field.shown)
            << keyOf(field);
    }
}

} // namespace
} // namespace quietmon
