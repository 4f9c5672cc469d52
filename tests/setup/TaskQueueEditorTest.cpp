#include "setup/TaskQueueEditor.h"

#include "setup/TaskSubPages.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <array>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quietmon {
namespace {

using Rows = std::vector<std::string>;

// "t<from>" to "t<to>": task texts that name no sub-page, so that selecting them shows nothing new.
Rows tasks(int from, int to) {
    Rows rows;
    for (int n = from; n <= to; ++n)
        rows.push_back("t" + std::to_string(n));
    return rows;
}

Rows operator+(Rows left, const Rows& right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

enum class Operation { Add, Delete, Up, Down, DeleteKey };

struct EditCase {
    const char* name;
    Rows before;     // the first rows; the others are empty
    int selectedRow; // counted from 1, as the editor numbers them
    Operation operation;
    Rows after;
    int selectedAfter;
    const char* pageAfter;
};

// The alarm queue's 32 numbered rows, over sub-pages of which "Delay" is shown when the operation starts.
class TaskQueueEditorTest : public ::testing::TestWithParam<EditCase> {
protected:
    TaskQueueEditorTest() {
        for (const char* caption : {"Send email", "Delay", "Speak"})
            subPages.addPage(QString::fromLatin1(caption), new QWidget);
    }

    void press(Operation operation) {
        if (operation == Operation::DeleteKey) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
            QApplication::sendEvent(&editor.grid(), &key);
            return;
        }
        const char* captions[] = {"Add", "Delete", "Up", "Down"};
        const QString caption = QString::fromLatin1(captions[static_cast<int>(operation)]);
        for (QPushButton* button : editor.findChildren<QPushButton*>()) {
            if (button->text() == caption)
                return button->click();
        }
        FAIL() << "no button " << caption.toStdString();
    }

    Rows shownRows() {
        Rows shown;
        for (int row = 0; row < editor.grid().rowCount(); ++row)
            shown.push_back(editor.grid().item(row, 1)->text().toStdString());
        return shown;
    }

    std::array<std::string, 32> rows;
    TaskSubPages subPages;
    TaskQueueEditor editor{rows, true, subPages};
};

TEST_P(TaskQueueEditorTest, EditsTheSelectedRowAsTheButtonsSay) {
    const EditCase& c = GetParam();
    std::copy(c.before.begin(), c.before.end(), rows.begin());
    editor.refresh();
    editor.selectRow(c.selectedRow - 1);
    subPages.showPage(QStringLiteral("Delay"));

    press(c.operation);

    Rows expected = c.after;
    expected.resize(rows.size());
    EXPECT_EQ(Rows(rows.begin(), rows.end()), expected);
    EXPECT_EQ(shownRows(), expected);
    EXPECT_EQ(editor.selectedRow() + 1, c.selectedAfter);
    EXPECT_EQ(editor.grid().selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(subPages.shownCaption().toStdString(), c.pageAfter);
}

INSTANTIATE_TEST_SUITE_P(
    FullAndEmptyLists, TaskQueueEditorTest,
    ::testing::Values(
        EditCase{"AddOnAnEmptyRowFillsItAndMovesOn", {}, 1, Operation::Add, {"Delay"}, 2, "Delay"},
        EditCase{"AddKeepsItsPageOverTheNextRowsTask",
                 {"t1", "", "Speak"},
                 2,
                 Operation::Add,
                 {"t1", "Delay", "Speak"},
                 3,
                 "Delay"},
        EditCase{"AddOnAFullListPushesRow32Out", tasks(1, 32), 5, Operation::Add,
                 tasks(1, 4) + Rows{"Delay"} + tasks(5, 31), 6, "Delay"},
        EditCase{"AddOnTheFilledLastRowReplacesIt", tasks(1, 32), 32, Operation::Add,
                 tasks(1, 31) + Rows{"Delay"}, 32, "Delay"},
        EditCase{"DeleteMovesTheRowsBelowUp", tasks(1, 6), 3, Operation::Delete, tasks(1, 2) + tasks(4, 6), 3,
                 "Delay"},
        EditCase{"DeleteOnAnEmptyRowChangesNothing", tasks(1, 6), 7, Operation::Delete, tasks(1, 6), 7,
                 "Delay"},
        EditCase{"DeleteOnAFullListEmptiesTheLastRow", tasks(1, 32), 3, Operation::Delete,
                 tasks(1, 2) + tasks(4, 32), 3, "Delay"},
        EditCase{"DeleteKeyLeavesAGap", tasks(1, 6), 3, Operation::DeleteKey,
                 tasks(1, 2) + Rows{""} + tasks(4, 6), 3, "Delay"},
        EditCase{"UpOnTheFirstRowChangesNothing", tasks(1, 6), 1, Operation::Up, tasks(1, 6), 1, "Delay"},
        EditCase{"DownOnTheLastRowChangesNothing", tasks(1, 32), 32, Operation::Down, tasks(1, 32), 32,
                 "Delay"},
        EditCase{"UpSwapsAndThePageFollowsTheTask",
                 {"t1", "Speak"},
                 2,
                 Operation::Up,
                 {"Speak", "t1"},
                 1,
                 "Speak"},
        EditCase{"DownSwapsAndTheSelectionFollows",
                 tasks(1, 3),
                 2,
                 Operation::Down,
                 {"t1", "t3", "t2"},
                 3,
                 "Delay"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quietmon
