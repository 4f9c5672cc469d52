#include "setup/WindowChooser.h"

#include "fakes/FakeDesktopWindows.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace quietmon {
namespace {

using Row = std::pair<std::string, std::string>; // class, title

std::string repeated(const std::string& character, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += character;
    return text;
}

// The chooser over a desktop whose windows the test opens; its modal showing is answered from the event
// loop it runs.
class WindowChooserTest : public ::testing::Test {
protected:
    void open(const std::string& title, const std::string& className, bool visible = true) {
        desktop.open(title, className);
        desktop.windows.back().visible = visible;
    }
    std::optional<ChosenWindow> pick(const std::function<void(WindowChooser&)>& answer) {
        QTimer::singleShot(0, &chooser, [this, answer] { answer(chooser); });
        return chooser.pickWindow();
    }
    std::vector<Row> rows() {
        std::vector<Row> shown;
        QTreeWidget& list = chooser.windowList();
        for (int i = 0; i < list.topLevelItemCount(); ++i)
            shown.emplace_back(list.topLevelItem(i)->text(0).toStdString(),
                               list.topLevelItem(i)->text(1).toStdString());
        return shown;
    }
    // The row's index among the selected ones, or -1 when none is selected.
    int selectedRow() {
        const QList<QTreeWidgetItem*> selected = chooser.windowList().selectedItems();
        return selected.size() == 1 ? chooser.windowList().indexOfTopLevelItem(selected.front()) : -1;
    }

    test::FakeDesktopWindows desktop;
    WindowChooser chooser{desktop};
};

void press(QWidget& widget, int key) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&widget, &down);
}

void doubleClickRow(QTreeWidget& list, int row) {
    QWidget* viewport = list.viewport();
    const QPointF at = list.visualItemRect(list.topLevelItem(row)).center();
    const QPointF global = viewport->mapToGlobal(at);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                    QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, global, Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
}

TEST_F(WindowChooserTest, ShowsItsCaptionsWithRefreshLeftOfOkAndCancel) {
    EXPECT_EQ(chooser.windowTitle(), "Window");
    QTreeWidgetItem* header = chooser.windowList().headerItem();
    EXPECT_EQ(header->text(0), "Window Class");
    EXPECT_EQ(header->text(1), "Window Title");
    EXPECT_EQ(chooser.refreshButton().text(), "Refresh");
    EXPECT_EQ(chooser.okButton().text(), "OK");
    EXPECT_EQ(chooser.cancelButton().text(), "Cancel");
    pick([](WindowChooser& shown) {
        EXPECT_LT(shown.refreshButton().x(), shown.okButton().x());
        EXPECT_LT(shown.okButton().x(), shown.cancelButton().x());
        shown.reject();
    });
}

TEST_F(WindowChooserTest, ListsTitledWindowsNewestFirstAndOkTakesTheFirstRow) {
    struct Window {
        std::string title;
        std::string className;
        bool visible = true;
    };
    struct Case {
        const char* what;
        std::vector<Window> windows; // in the desktop's order
        std::vector<Row> rows;
    };
    const std::string longTitle = repeated("é", 300);
    const std::string longClass = repeated("ж", 255);
    const std::vector<Case> cases{
        {"in the reverse of the desktop's order",
         {{"Playout", "Player"}, {"Editor", "Notes"}, {"Terminal", "XTerm"}},
         {{"XTerm", "Terminal"}, {"Notes", "Editor"}, {"Player", "Playout"}}},
        {"without untitled windows",
         {{"", "Desktop"}, {"Playout", "Player"}, {"", "Panel"}},
         {{"Player", "Playout"}}},
        {"hidden windows too", {{"Playout", "Player", false}}, {{"Player", "Playout"}}},
        {"two equal windows twice",
         {{"Playout", "Player"}, {"Playout", "Player"}},
         {{"Player", "Playout"}, {"Player", "Playout"}}},
        {"texts cut to 254 characters", {{longTitle, longClass}}, {{repeated("ж", 254), repeated("é", 254)}}},
        {"no window at all", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        desktop.windows.clear();
        for (const Window& window : c.windows)
            open(window.title, window.className, window.visible);
        std::vector<Row> shown;
        int selected = -2;
        const std::optional<ChosenWindow> chosen = pick([&](WindowChooser& dialog) {
            shown = rows();
            selected = selectedRow();
            dialog.okButton().click();
        });
        EXPECT_EQ(shown, c.rows);
        ASSERT_TRUE(chosen.has_value());
        if (c.rows.empty()) {
            EXPECT_EQ(selected, -1);
            EXPECT_EQ(chosen->windowClass, "");
            EXPECT_EQ(chosen->title, "");
        } else {
            EXPECT_EQ(selected, 0);
            EXPECT_EQ(chosen->windowClass, c.rows.front().first);
            EXPECT_EQ(chosen->title, c.rows.front().second);
        }
    }
}

TEST_F(WindowChooserTest, OkEnterAndADoubleClickTakeTheSelectedRowCancelAndEscapeTakeNothing) {
    open("Playout", "Player");
    open("Editor", "Notes");
    struct Case {
        const char* what;
        std::function<void(WindowChooser&)> answer;
        std::optional<Row> chosen;
    };
    const std::vector<Case> cases{
        {"OK", [](WindowChooser& dialog) { dialog.okButton().click(); }, Row{"Notes", "Editor"}},
        {"Enter in the list", [](WindowChooser& dialog) { press(dialog.windowList(), Qt::Key_Return); },
         Row{"Notes", "Editor"}},
        {"a double click on the second row",
         [](WindowChooser& dialog) { doubleClickRow(dialog.windowList(), 1); }, Row{"Player", "Playout"}},
        {"Cancel", [](WindowChooser& dialog) { dialog.cancelButton().click(); }, std::nullopt},
        {"Escape in the list", [](WindowChooser& dialog) { press(dialog.windowList(), Qt::Key_Escape); },
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool ended = false;
        const std::optional<ChosenWindow> chosen = pick([&](WindowChooser& dialog) {
            c.answer(dialog);
            ended = !dialog.isVisible();
            if (!ended)
                dialog.done(-1); // neither OK nor cancel: the test fails, but does not hang
        });
        ASSERT_TRUE(ended);
        ASSERT_EQ(chosen.has_value(), c.chosen.has_value());
        if (chosen) {
            EXPECT_EQ(chosen->windowClass, c.chosen->first);
            EXPECT_EQ(chosen->title, c.chosen->second);
        }
    }
}

TEST_F(WindowChooserTest, EachShowingAndRefreshReadTheWindowsAgainAndSelectTheFirstRow) {
    open("Playout", "Player");
    open("Editor", "Notes");
    pick([&](WindowChooser& dialog) {
        dialog.windowList().setCurrentItem(dialog.windowList().topLevelItem(1));
        open("Logger", "Recorder");
        dialog.refreshButton().click();
        EXPECT_EQ(rows(),
                  (std::vector<Row>{{"Recorder", "Logger"}, {"Notes", "Editor"}, {"Player", "Playout"}}));
        EXPECT_EQ(selectedRow(), 0);
        dialog.windowList().setCurrentItem(dialog.windowList().topLevelItem(2));
        dialog.reject();
    });
    desktop.windows.erase(desktop.windows.begin());
    const std::optional<ChosenWindow> chosen = pick([&](WindowChooser& dialog) {
        EXPECT_EQ(rows(), (std::vector<Row>{{"Recorder", "Logger"}, {"Notes", "Editor"}}));
        dialog.okButton().click();
    });
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->title, "Logger");
}

} // namespace
} // namespace quietmon
