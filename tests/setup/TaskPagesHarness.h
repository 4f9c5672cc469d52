#pragma once

#include "app/MainWindow.h"
#include "app/Startup.h"
#include "fakes/FakeDesktop.h"
#include "setup/SetupDialog.h"
#include "setup/TaskQueueEditor.h"
#include "setup/TaskQueuePage.h"
#include "setup/TaskSubPages.h"
#include "support/MonitorHarness.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <gtest/gtest.h>
#include <memory>

namespace quietmon::test {

// The main window and the Setup dialog on Qt's offscreen platform, created in the program's order, with
// the desktop's dialogs answered by fakes. The task pages' widgets are found by their captions, as the
// operator finds them.
struct TaskPagesHarness : MonitorHarness {
    ~TaskPagesHarness() {
        setup.reset();
        window.reset();
    }

    void start(const std::string& settingsFile = "") {
        writeSettings(settingsFile);
        window = std::make_unique<MainWindow>(monitor, desktop, messages);
        setup = std::make_unique<SetupDialog>(monitor, *window, messages, files, desktop);
        window->setDialogs(setup.get(), nullptr);
        quietmon::startUp(monitor, *window, *setup);
    }

    // The dialog on screen with the page of `queue` in front.
    TaskQueuePage& showPage(QueueKind queue) {
        TaskQueuePage& shown = page(queue);
        setup->show();
        setup->activateWindow();
        setup->pages().setCurrentWidget(&shown);
        return shown;
    }

    TaskQueuePage& page(QueueKind queue) {
        const QString caption =
            queue == QueueKind::Alarm ? QStringLiteral("Alarm Tasks") : QStringLiteral("Return Tasks");
        for (int index = 0; index < setup->pages().count(); ++index) {
            if (setup->pages().tabText(index) == caption)
                return *dynamic_cast<TaskQueuePage*>(setup->pages().widget(index));
        }
        throw std::runtime_error("no page " + caption.toStdString());
    }

    // The sub-page of that caption, shown.
    QWidget& subPage(QueueKind queue, const char* caption) {
        TaskSubPages& subPages = page(queue).subPages();
        EXPECT_TRUE(subPages.showPage(QString::fromUtf8(caption))) << caption;
        return *subPages.page(QString::fromUtf8(caption));
    }

    // The `nth` widget of that type with that caption inside `within`, in the order they were made.
    template <typename Widget>
    static Widget* captioned(QWidget& within, const QString& caption, int nth = 0) {
        for (Widget* widget : within.findChildren<Widget*>()) {
            if (caption == text(widget) && nth-- == 0)
                return widget;
        }
        ADD_FAILURE() << "nothing captioned " << caption.toStdString();
        return nullptr;
    }
    // The field that the `nth` caption of that text names.
    static QLineEdit* field(QWidget& within, const QString& caption, int nth = 0) {
        QLabel* label = captioned<QLabel>(within, caption, nth);
        return label ? qobject_cast<QLineEdit*>(label->buddy()) : nullptr;
    }
    static QAbstractButton* button(QWidget& within, const QString& caption, int nth = 0) {
        return captioned<QAbstractButton>(within, caption, nth);
    }

    FakeDesktop desktop;
    FakeMessageBoxes messages;
    FakeFileDialogs files;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<SetupDialog> setup;

private:
    static QString text(const QLabel* label) { return label->text(); }
    static QString text(const QAbstractButton* button) { return button->text(); }
    static QString text(const QGroupBox* group) { return group->title(); }
};

} // namespace quietmon::test
