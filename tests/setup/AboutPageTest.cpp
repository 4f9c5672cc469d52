#include "setup/SetupDialogHarness.h"

#include <QLabel>
#include <QPushButton>
#include <QTextDocumentFragment>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

using test::SetupDialogHarness;

// The label that shows exactly this text, links and all.
QLabel* labelShowing(QWidget& page, const std::string& text) {
    for (QLabel* label : page.findChildren<QLabel*>()) {
        if (QTextDocumentFragment::fromHtml(label->text()).toPlainText().toStdString() == text)
            return label;
    }
    return nullptr;
}

TEST(AboutPage, NamesTheVersionAndItsLinksOpenTheHelpPageAndEachFolder) {
    SetupDialogHarness dialog;
    dialog.start();
    QWidget& page = dialog.showPage("About");
    for (const char* caption :
         {"Orvane Silence Detector - Version 1.4d", "Application folder:", "Data folder:"})
        EXPECT_NE(labelShowing(page, caption), nullptr) << caption;
    const std::string dataFolder = dialog.dataFolder + "/";
    const std::string programFolder = dialog.programFolder;
    const std::pair<std::string, std::string> links[] = {
        {"Orvane Silence Detector is free to use. Its help page tells how it works.",
         "file://" + programFolder + "quietmon.htm"},
        {programFolder, "file://" + programFolder},
        {dataFolder, "file://" + dataFolder},
    };
    for (const auto& [shown, opened] : links) {
        SCOPED_TRACE(shown);
        QLabel* link = labelShowing(page, shown);
        ASSERT_NE(link, nullptr);
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, link->height() / 2));
        ASSERT_FALSE(dialog.desktop.openedDocuments.empty());
        EXPECT_EQ(dialog.desktop.openedDocuments.back(), opened);
    }
}

TEST(SetupDialog, OpensOnAlarmActivationAndHelpOpensTheHelpPageOrLogsWhyNot) {
    SetupDialogHarness dialog;
    dialog.start("[General]\nLogEvents=1\n");
    QStringList captions;
    for (int page = 0; page < dialog.setup->pages().count(); ++page)
        captions << dialog.setup->pages().tabText(page);
    EXPECT_EQ(captions,
              (QStringList{"Alarm Activation", "Alarm Tasks", "Return Tasks", "Settings", "About"}));
    EXPECT_EQ(dialog.setup->pages().currentIndex(), 0);
    QPushButton* help = nullptr;
    for (QPushButton* button : dialog.setup->findChildren<QPushButton*>())
        if (button->text() == "Help")
            help = button;
    ASSERT_NE(help, nullptr);
    const std::string page = dialog.programFolder + "quietmon.htm";
    help->click(); // no help page beside the program
    EXPECT_TRUE(dialog.desktop.openedDocuments.empty());
    EXPECT_NE(dialog.logText().find("; Can't open " + page + " - No such file or directory\r\n"),
              std::string::npos);
    test::writeWholeFile(page, "<html></html>");
    help->click();
    EXPECT_EQ(dialog.desktop.openedDocuments, (std::vector<std::string>{page}));
    dialog.desktop.openerFailure = "xdg-open not found";
    help->click();
    EXPECT_NE(dialog.logText().find("; Can't open " + page + " - xdg-open not found\r\n"), std::string::npos);
}

} // namespace
} // namespace quietmon
