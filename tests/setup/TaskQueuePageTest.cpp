// The "Alarm Tasks" and "Return Tasks" pages of the Setup dialog: the queue editor coupled with the
// sub-pages, the sub-pages' buttons, and every field bound to the settings file.
#include "config/IniFile.h"
#include "config/Scramble.h"
#include "config/taskkinds/EmailSettings.h"
#include "config/taskkinds/KillSettings.h"
#include "config/taskkinds/OpenPlaySettings.h"
#include "config/taskkinds/ScreenshotSettings.h"
#include "setup/TaskPagesHarness.h"
#include "setup/WindowChooser.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

using Type = FileDialogs::ScreenshotType;

class TaskQueuePageTest : public ::testing::Test, protected test::TaskPagesHarness {};

TEST_F(TaskQueuePageTest, ARowShowsTheSubPageItNamesExactlyAndAnUnknownNameIsShownAsItIs) {
    start("[RetTasks]\nTask1=kill application\nTask2=Kill application\n");
    TaskQueuePage& page = showPage(QueueKind::Return);
    TaskSubPages& subPages = page.subPages();
    QTableWidget& grid = page.editor().grid();
    EXPECT_EQ(grid.item(0, 0)->text(), "kill application");

    subPages.showPage(QStringLiteral("Delay"));
    grid.setCurrentCell(1, 0); // as a click or an arrow key moves it
    EXPECT_EQ(subPages.shownCaption(), "Kill application");
    EXPECT_TRUE(subPages.page(QStringLiteral("Kill application"))->isVisible());
    subPages.showPage(QStringLiteral("Delay"));
    grid.setCurrentCell(0, 0);
    EXPECT_EQ(subPages.shownCaption(), "Delay");
}

TEST_F(TaskQueuePageTest, EachQueueListsThePagesOfItsOwnTaskKindsInTheirOrder) {
    const std::pair<QueueKind, QStringList> cases[] = {
        {QueueKind::Alarm,
         {"Send email", "Save screenshot", "Open/Play 1", "Open/Play 2", "Reboot system", "Kill application",
          "Switch port pin", "Delay", "Send HTTP query", "Speak", "Repeat"}},
        {QueueKind::Return,
         {"Send email", "Save screenshot", "Open/Play", "Kill application", "Send HTTP query", "Delay"}}};
    start("");
    for (const auto& [queue, captions] : cases) {
        const auto* list = showPage(queue).subPages().findChild<QListWidget*>();
        ASSERT_NE(list, nullptr);
        QStringList listed;
        for (int row = 0; row < list->count(); ++row)
            listed << list->item(row)->text();
        EXPECT_EQ(listed, captions);
    }
}

TEST_F(TaskQueuePageTest, TheScreenshotBrowseButtonGivesTheFileTheExtensionOfItsType) {
    struct Case {
        std::optional<FileDialogs::ScreenshotFile> chosen; // nothing: cancelled
        std::string field;
    };
    // The field's limit of 255 holds for typing only: a chosen name and its extension go in whole.
    const std::string longName = "/srv/shots/" + std::string(250, 'a');
    const Case cases[] = {{{{"/srv/shots/air.jpeg", Type::Jpeg}}, "/srv/shots/air.jpeg.jpg"},
                          {{{longName, Type::Jpeg}}, longName + ".jpg"},
                          {{{"/srv/shots/air", Type::Bitmap}}, "/srv/shots/air.bmp"},
                          {{{"/srv/shots/AIR.BMP", Type::Bitmap}}, "/srv/shots/AIR.BMP"},
                          {{{"/srv/shots/air.Jpg", Type::Jpeg}}, "/srv/shots/air.Jpg"},
                          {std::nullopt, "/srv/shots/before.jpg"}};
    start("[RetScreenshot]\nFile=/srv/shots/before.jpg\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        monitor.settings().returnQueue.of<TaskKind::SaveScreenshot>().file = "/srv/shots/before.jpg";
        setup->context().fields.refresh();
        if (c.chosen)
            files.screenshotFiles.push_back(*c.chosen);
        QWidget& screenshot = subPage(QueueKind::Return, "Save screenshot");
        button(screenshot, QStringLiteral("..."))->click();
        EXPECT_EQ(field(screenshot, QStringLiteral("File"))->text().toStdString(), c.field);
        EXPECT_EQ(monitor.settings().returnQueue.of<TaskKind::SaveScreenshot>().file, c.field);
    }
}

TEST_F(TaskQueuePageTest, AttachToEmailHandsAScreenshotFileToTheSameQueuesEmailPage) {
    start("[Email]\nFile=alarm.bmp\n[RetEmail]\nFile=return.bmp\n");
    for (const QueueKind queue : {QueueKind::Alarm, QueueKind::Return}) {
        TaskQueuePage& page = showPage(queue);
        QWidget& screenshot = subPage(queue, "Save screenshot");
        field(screenshot, QStringLiteral("File"))->clear();
        button(screenshot, QStringLiteral("Attach to email"))->click();
        EXPECT_EQ(page.subPages().shownCaption(), "Save screenshot"); // an empty file does nothing

        field(screenshot, QStringLiteral("File"))->setText(QStringLiteral("%date.jpg"));
        button(screenshot, QStringLiteral("Attach to email"))->click();
        EXPECT_EQ(page.subPages().shownCaption(), "Send email");
        QLineEdit* attached =
            field(*page.subPages().page(QStringLiteral("Send email")), QStringLiteral("Attach file"));
        EXPECT_EQ(attached->text(), "%date.jpg");
        EXPECT_EQ(setup->focusWidget(), attached);
    }
    EXPECT_EQ(monitor.settings().alarmQueue.of<TaskKind::SendEmail>().file, "%date.jpg");
    EXPECT_EQ(monitor.settings().returnQueue.of<TaskKind::SendEmail>().file, "%date.jpg");
}

TEST_F(TaskQueuePageTest, AFileChosenWithABrowseButtonGoesInWholeBeyondTheFieldsLimit) {
    start();
    const std::string chosen = "/srv/" + std::string(300, 'f') + ".mp3";
    files.filesToOpen.push_back(chosen);
    QWidget& email = subPage(QueueKind::Alarm, "Send email");
    button(email, QStringLiteral("..."))->click();
    EXPECT_EQ(field(email, QStringLiteral("Attach file"))->text().toStdString(), chosen);
    EXPECT_EQ(monitor.settings().alarmQueue.of<TaskKind::SendEmail>().file, chosen);
}

TEST_F(TaskQueuePageTest, BrowseFillsAFileAndClearEmptiesOnlyItsOwnLine) {
    start("[RetOpen]\nFile1=/srv/one.mp3\nParams1=-q\nFile2=/srv/two.mp3\nParams2=--loop\n"
          "[RetKill]\nTitle1=Player\nClass1=player\nTitle2=Editor\nClass2=editor\n");
    QWidget& open = subPage(QueueKind::Return, "Open/Play");
    files.filesToOpen.push_back("/srv/three.mp3");
    button(open, QStringLiteral("..."), 2)->click();
    button(open, QStringLiteral("..."), 0)->click(); // cancelled
    button(open, QStringLiteral("Clear"), 1)->click();
    const OpenSettings& opened = monitor.settings().returnQueue.of<TaskKind::OpenPlay>();
    EXPECT_EQ(opened.files, (std::array<std::string, 3>{"/srv/one.mp3", "", "/srv/three.mp3"}));
    EXPECT_EQ(opened.params, (std::array<std::string, 3>{"-q", "", ""}));

    QWidget& kill = subPage(QueueKind::Return, "Kill application");
    button(kill, QStringLiteral("Clear"), 0)->click();
    const KillSettings& killed = monitor.settings().returnQueue.of<TaskKind::KillApplication>();
    EXPECT_EQ(killed.applications, (std::array{KillTarget{}, KillTarget{"Editor", "editor"}}));
}

class AnsweringPicker final : public WindowPicker {
public:
    std::optional<ChosenWindow> pickWindow() override { return answer; }
    std::optional<ChosenWindow> answer;
};

TEST_F(TaskQueuePageTest, FindPutsTheChosenWindowsClassAndTitleIntoItsApplication) {
    struct Case {
        const char* name;
        bool hasPicker;
        std::optional<ChosenWindow> answer;
        std::array<KillTarget, 2> after;
    };
    const Case cases[] = {
        {"chosen",
         true,
         ChosenWindow{"XTerm", "root@studio"},
         {{{"Player", "player"}, {"root@studio", "XTerm"}}}},
        {"OK on an empty list", true, ChosenWindow{}, {{{"Player", "player"}, {}}}},
        {"cancelled", true, std::nullopt, {{{"Player", "player"}, {"Editor", "editor"}}}},
        {"no chooser", false, std::nullopt, {{{"Player", "player"}, {"Editor", "editor"}}}},
    };
    start();
    AnsweringPicker picker;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        monitor.settings().alarmQueue.of<TaskKind::KillApplication>().applications = {
            {{"Player", "player"}, {"Editor", "editor"}}};
        setup->context().fields.refresh();
        picker.answer = c.answer;
        setup->setWindowPicker(c.hasPicker ? &picker : nullptr);
        button(subPage(QueueKind::Alarm, "Kill application"), QStringLiteral("Find"), 1)->click();
        const KillSettings& kill = monitor.settings().alarmQueue.of<TaskKind::KillApplication>();
        EXPECT_EQ(kill.applications, c.after);
    }
}

TEST_F(TaskQueuePageTest, TheCribShowsOnlyWhileTheFocusIsInTheSubPages) {
    start();
    for (const QueueKind queue : {QueueKind::Alarm, QueueKind::Return}) {
        TaskQueuePage& page = showPage(queue);
        QApplication::processEvents();
        QGroupBox* crib = captioned<QGroupBox>(page, QStringLiteral("Crib"));
        ASSERT_TRUE(crib);
        const QString listed = crib->findChild<QLabel*>()->text();
        EXPECT_EQ(listed.contains(QStringLiteral("%channel")), queue == QueueKind::Alarm);
        for (const char* placeholder : {"%date", "%time:", "%cause", "%dayofweek", "%br", "%lasttask"})
            EXPECT_TRUE(listed.contains(QString::fromLatin1(placeholder))) << placeholder;

        page.editor().grid().setFocus();
        EXPECT_FALSE(crib->isVisible());
        field(subPage(queue, "Send email"), QStringLiteral("Subject"))->setFocus();
        EXPECT_TRUE(crib->isVisible());
        button(page.editor(), QStringLiteral("Add"))->setFocus();
        EXPECT_FALSE(crib->isVisible());
    }
}

TEST_F(TaskQueuePageTest, TheAlarmSubPagesAreDisabledWhileTheAlarmQueueRunsButNotTheQueueEditor) {
    // A queue resumed at start-up after its own reboot runs from the moment the dialog is made.
    start("[General]\nStartUpStatus=2\nStartUpDelay=0\nAlarm=1\nLastTask=1\n[Reboot]\nReboot=1\n"
          "[Tasks]\nTask1=Reboot system\nTask2=Speak\n");
    const auto editable = [this](QueueKind queue) {
        return field(subPage(queue, "Send email"), QStringLiteral("Subject"))->isEnabled();
    };
    TaskQueuePage& alarm = showPage(QueueKind::Alarm);
    EXPECT_FALSE(editable(QueueKind::Alarm));
    EXPECT_TRUE(editable(QueueKind::Return));
    EXPECT_TRUE(alarm.editor().grid().isEnabled());
    EXPECT_TRUE(button(alarm.editor(), QStringLiteral("Add"))->isEnabled());

    loop.advance(200); // "Speak" runs
    loop.advance(200); // the queue has ended
    EXPECT_TRUE(editable(QueueKind::Alarm));
}

// Every field of both pages, typed into as the operator types, then saved and read back from the file.
TEST_F(TaskQueuePageTest, EveryFieldOfBothPagesIsSavedAsEdited) {
    struct TextField {
        QueueKind queue;
        const char* subPage;
        const char* group; // the group box around the field, or nothing
        const char* caption;
        int nth;       // among captions of that text
        int maxLength; // 0: no limit
        const char* section;
        const char* key;
    };
    std::vector<TextField> texts;
    const auto email = [&texts](QueueKind queue, const char* section) {
        for (const auto& [caption, key, limit] : {std::tuple{"From", "From", 255},
                                                  {"To", "To", 255},
                                                  {"Subject", "Subject", 255},
                                                  {"Message text", "Message", 1023},
                                                  {"Outgoing SMTP server", "SMTP", 255},
                                                  {"Attach file", "File", 255},
                                                  {"Username", "Username", 255},
                                                  {"Password", "Password", 255}})
            texts.push_back({queue, "Send email", nullptr, caption, 0, limit, section, key});
    };
    const auto open = [&texts](QueueKind queue, const char* page, const char* section, int fileLimit) {
        for (int line = 0; line < 3; ++line) {
            static const char* const files[] = {"File 1:", "File 2:", "File 3:"};
            static const char* const fileKeys[] = {"File1", "File2", "File3"};
            static const char* const paramKeys[] = {"Params1", "Params2", "Params3"};
            texts.push_back({queue, page, nullptr, files[line], 0, fileLimit, section, fileKeys[line]});
            texts.push_back({queue, page, nullptr, "Parameters:", line, 255, section, paramKeys[line]});
        }
    };
    const auto kill = [&texts](QueueKind queue, const char* section) {
        for (const auto& [group, title, windowClass] :
             {std::tuple{"Application 1", "Title1", "Class1"}, {"Application 2", "Title2", "Class2"}}) {
            texts.push_back({queue, "Kill application", group, "Window Title", 0, 255, section, title});
            texts.push_back({queue, "Kill application", group, "Window Class", 0, 255, section, windowClass});
        }
    };
    const auto query = [&texts](QueueKind queue, const char* section) {
        texts.push_back({queue, "Send HTTP query", nullptr, "Address", 0, 1023, section, "Address"});
        texts.push_back({queue, "Send HTTP query", nullptr, "Query", 0, 1023, section, "Query"});
    };
    const auto screenshot = [&texts](QueueKind queue, const char* section) {
        texts.push_back({queue, "Save screenshot", nullptr, "File", 0, 255, section, "File"});
    };
    constexpr QueueKind alarm = QueueKind::Alarm;
    constexpr QueueKind back = QueueKind::Return;
    email(alarm, "Email");
    email(back, "RetEmail");
    screenshot(alarm, "Screenshot");
    screenshot(back, "RetScreenshot");
    open(alarm, "Open/Play 1", "Open1", 255);
    open(alarm, "Open/Play 2", "Open2", 0);
    open(back, "Open/Play", "RetOpen", 0);
    kill(alarm, "Kill");
    kill(back, "RetKill");
    query(alarm, "Query");
    query(back, "RetQuery");
    texts.push_back({alarm, "Speak", nullptr, "Text to speak", 0, 1023, "Speak", "Text"});
    texts.push_back({alarm, "Switch port pin", nullptr, "Device (optional)", 0, 255, "Port", "Device"});

    struct NumberField {
        QueueKind queue;
        const char* subPage;
        const char* caption;
        int maxCharacters;
        const char* typed;
        const char* section;
        const char* key;
        const char* stored;
    };
    const NumberField numbers[] = {
        {alarm, "Delay", "seconds", 4, "5000", "Delay", "Delay", "3600"},
        {back, "Delay", "seconds", 4, "45", "RetDelay", "Delay", "30"},
        {alarm, "Switch port pin", "seconds", 4, "12", "Port", "For", "10"},
        {alarm, "Repeat", "Repeat from line", 2, "40", "Repeat", "FromLine", "32"},
        {alarm, "Repeat", "Maximum number of repeats", 4, "1000", "Repeat", "Maximum", "999"},
    };

    // Buttons clicked, and the keys they set.
    struct Click {
        QueueKind queue;
        const char* subPage;
        const char* caption;
        std::vector<std::pair<const char*, const char*>> keys; // key, stored value
        const char* section;
    };
    const Click clicks[] = {
        {alarm, "Send email", "Requires authentication:", {{"Authentization", "1"}}, "Email"},
        {alarm, "Send email", "SSL", {{"SSL", "1"}}, "Email"},
        {back, "Send email", "Requires authentication:", {{"Authentization", "1"}}, "RetEmail"},
        {back, "Send email", "SSL", {{"SSL", "1"}}, "RetEmail"},
        {alarm,
         "Save screenshot",
         "Deactivate screensaver by simulating SHIFT key stroke",
         {{"DeactivateScrSaver", "1"}},
         "Screenshot"},
        {back,
         "Save screenshot",
         "Deactivate screensaver by simulating SHIFT key stroke",
         {{"DeactivateScrSaver", "1"}},
         "RetScreenshot"},
        {alarm, "Reboot system", "Shutdown", {{"DoReboot", "0"}, {"DoShutdown", "1"}}, "Reboot"},
        {alarm,
         "Switch port pin",
         "Switch for as long as possible",
         {{"Limited", "0"}, {"Full", "0"}, {"Forever", "1"}},
         "Port"},
    };

    start();
    std::vector<std::string> typed;
    for (const TextField& t : texts) {
        SCOPED_TRACE(std::string(t.section) + "/" + t.key);
        QWidget* within = &subPage(t.queue, t.subPage);
        if (t.group)
            within = captioned<QGroupBox>(*within, QString::fromLatin1(t.group));
        QLineEdit* edit = field(*within, QString::fromLatin1(t.caption), t.nth);
        ASSERT_TRUE(edit);
        // One character more than the field takes, or a long path where it takes any length.
        const std::string prefix = std::string(t.section) + "." + t.key + ".";
        const std::size_t length = t.maxLength > 0 ? std::size_t(t.maxLength) + 1 : 1500;
        typed.push_back(prefix + std::string(length - prefix.size(), 'x'));
        edit->clear();
        edit->insert(QString::fromStdString(typed.back()));
    }
    for (const NumberField& n : numbers) {
        QLineEdit* edit = field(subPage(n.queue, n.subPage), QString::fromLatin1(n.caption));
        ASSERT_TRUE(edit) << n.caption;
        EXPECT_EQ(edit->maxLength(), n.maxCharacters) << n.caption;
        edit->setText(QString::fromLatin1(n.typed));
    }
    for (const Click& c : clicks)
        button(subPage(c.queue, c.subPage), QString::fromLatin1(c.caption))->click();
    QWidget& port = subPage(alarm, "Switch port pin");
    auto* portNumber =
        qobject_cast<QComboBox*>(captioned<QLabel>(port, QStringLiteral("Port number"))->buddy());
    auto* portPin = qobject_cast<QComboBox*>(captioned<QLabel>(port, QStringLiteral("Port pin"))->buddy());
    ASSERT_EQ(portNumber->count(), 255);
    EXPECT_EQ(portNumber->itemText(0), "COM1");
    portNumber->setCurrentText(QStringLiteral("COM255"));
    portPin->setCurrentText(QStringLiteral("RTS"));

    monitor.saveSettings();
    const IniFile saved = IniFile::parse(settingsText());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const TextField& t = texts[i];
        const std::string kept = t.maxLength > 0 ? typed[i].substr(0, std::size_t(t.maxLength)) : typed[i];
        const bool scrambled = std::string(t.key) == "Password";
        EXPECT_EQ(saved.read(t.section, t.key), scrambled ? scramble(kept) : kept)
            << t.section << "/" << t.key;
    }
    for (const NumberField& n : numbers)
        EXPECT_EQ(saved.read(n.section, n.key), n.stored) << n.section << "/" << n.key;
    for (const Click& c : clicks) {
        for (const auto& [key, value] : c.keys)
            EXPECT_EQ(saved.read(c.section, key), value) << c.section << "/" << key;
    }
    EXPECT_EQ(saved.read("Port", "COMPort"), "254");
    EXPECT_EQ(saved.read("Port", "Pin"), "1");
}

} // namespace
} // namespace quietmon
