#pragma once

#include "app/MainWindow.h"
#include "app/Startup.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakeWindowPicker.h"
#include "setup/SetupDialog.h"
#include "support/MonitorHarness.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>

namespace quietmon::test {

// The main window and the Setup dialog on Qt's offscreen platform, created in the program's order from a
// settings file the test writes. The dialog is shown without a modal loop, so that the test can act on it
// as the operator would: typing, clicking, choosing lines and moving the focus.
struct SetupDialogHarness : MonitorHarness {
    void start(const std::string& settingsFile = "") {
        writeSettings(settingsFile);
        window = std::make_unique<MainWindow>(monitor, desktop, messages);
        setup = std::make_unique<SetupDialog>(monitor, *window, messages, files, desktop);
        quietmon::startUp(monitor, *window, *setup);
        setup->setWindowPicker(&windowPicker);
        setup->show();
        setup->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(setup.get()));
    }

    // The page with this tab caption, made the one shown.
    QWidget& showPage(const QString& caption) {
        QTabWidget& pages = setup->pages();
        for (int page = 0; page < pages.count(); ++page) {
            if (pages.tabText(page) == caption) {
                pages.setCurrentIndex(page);
                return *pages.widget(page);
            }
        }
        ADD_FAILURE() << "no page " << caption.toStdString();
        return *pages.currentWidget();
    }

    // The field that edits a settings key, "Section/Key".
    template <typename Field> Field& field(const char* key) {
        auto* found = setup->findChild<Field*>(QString::fromLatin1(key));
        if (!found)
            throw std::runtime_error(std::string("no field for ") + key);
        return *found;
    }

    // Replaces a field's text by typing, key by key.
    static void type(QLineEdit& field, const QString& text) {
        field.selectAll();
        QTest::keyClick(&field, Qt::Key_Delete);
        QTest::keyClicks(&field, text);
    }
    // Moves the keyboard focus into the field and then away from it.
    void leave(QWidget& field) {
        field.setFocus();
        setup->pages().tabBar()->setFocus();
    }
    // Picks a line with the arrow keys, as the operator may.
    static void choose(QComboBox& box, int line) {
        for (int step = 0; step < box.count() && box.currentIndex() != line; ++step)
            QTest::keyClick(&box, box.currentIndex() < line ? Qt::Key_Down : Qt::Key_Up);
    }

    FakeDesktop desktop;
    FakeMessageBoxes messages;
    FakeFileDialogs files;
    FakeWindowPicker windowPicker;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<SetupDialog> setup; // a child of the window: destroyed first
};

} // namespace quietmon::test
