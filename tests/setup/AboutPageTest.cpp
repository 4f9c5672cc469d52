#include "setup/SetupDialogHarness.h"

#include <QLabel>
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
    const std::pair<std::string, std::string> links[] = {
        {"Orvane Silence Detector is free to use. Its help page tells how it works.",
         "file:///opt/quietmon/quietmon.htm"},
        {"/opt/quietmon/", "file:///opt/quietmon/"},
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

} // namespace
} // namespace quietmon
