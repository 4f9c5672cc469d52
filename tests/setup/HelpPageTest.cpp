#include "setup/SetupDialogHarness.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

using test::SetupDialogHarness;

// The help page as a reader sees it: tags gone, entities read, every run of white space one space.
QString helpPageText() {
    QFile page(QStringLiteral(QUIETMON_HELP_PAGE));
    if (!page.open(QIODevice::ReadOnly))
        return {};
    QTextDocument document;
    document.setHtml(QString::fromUtf8(page.readAll()));
    return document.toPlainText().simplified();
}

// Every caption of the Setup dialog, on every page and every task sub-page, shown or not: page tabs,
// group titles, labels, buttons and ticks, the sub-pages' names, and the lines of the fixed choices.
// Values are left out: the folders on "About", the audio devices found and the 255 port names.
QStringList setupCaptions(SetupDialog& setup) {
    QStringList captions;
    auto add = [&captions](const QString& text) {
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            if (!line.simplified().isEmpty())
                captions << line.simplified();
        }
    };
    for (int page = 0; page < setup.pages().count(); ++page)
        add(setup.pages().tabText(page));
    for (const QGroupBox* group : setup.findChildren<QGroupBox*>())
        add(group->title());
    for (const QLabel* label : setup.findChildren<QLabel*>()) {
        const QString text = Qt::mightBeRichText(label->text())
                                 ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                                 : label->text();
        if (!text.startsWith(QLatin1Char('/')))
            add(text);
    }
    for (const QAbstractButton* button : setup.findChildren<QAbstractButton*>())
        add(button->text());
    for (const QListWidget* list : setup.findChildren<QListWidget*>()) {
        for (int row = 0; row < list->count(); ++row)
            add(list->item(row)->text());
    }
    for (const QComboBox* choice : setup.findChildren<QComboBox*>()) {
        if (choice->objectName() == QStringLiteral("General/AudioInDevice") || choice->count() > 32)
            continue;
        for (int line = 0; line < choice->count(); ++line)
            add(choice->itemText(line));
    }
    captions.removeDuplicates();
    return captions;
}

TEST(HelpPage, QuotesEveryCaptionOfTheSetupDialog) {
    const QString help = helpPageText();
    ASSERT_FALSE(help.isEmpty()) << "cannot read " << QUIETMON_HELP_PAGE;
    SetupDialogHarness dialog;
    dialog.start();
    const QStringList captions = setupCaptions(*dialog.setup);
    EXPECT_GT(captions.size(), 100);
    for (const QString& caption : captions)
        EXPECT_TRUE(help.contains(QLatin1Char('"') + caption + QLatin1Char('"')))
            << "the help page does not quote \"" << caption.toStdString() << "\"";
}

} // namespace
} // namespace quietmon
