#pragma once

#include "runtime/Timer.h"
#include "setup/SetupContext.h"

#include <QDialog>
#include <memory>

class QTabWidget;

namespace quietmon {

class TaskQueuePage;

// The Setup dialog: five pages of fields bound to the live settings, with "Close" and "Help" beside them.
// Its pages are built once the start-up has loaded and applied the settings they show.
//
// No new alarm is raised while it is open, so it closes itself, as "Close" does, once it has been left
// for 10 minutes without a key or the mouse used in it (or in a dialog opened from it).
class SetupDialog final : public QDialog {
public:
    static constexpr int idleCloseMs = 10 * 60 * 1000;

    SetupDialog(Monitor& monitor, QWidget& owner, MessageBoxes& messages, FileDialogs& files,
                DesktopServices& desktop);

    // The pages, from the settings as loaded and applied.
    void buildPages();

    void setWindowPicker(WindowPicker* picker) { m_context.windowPicker = picker; }

    // The alarm-task pages cannot be edited while the alarm queue runs.
    void setAlarmTaskPagesEnabled(bool enabled);
    bool alarmTaskPagesEnabled() const { return m_alarmTaskPagesEnabled; }

    QTabWidget& pages() { return *m_pages; }
    SetupContext& context() { return m_context; }

    // Ten minutes without input have passed.
    void onIdleTimer();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Watches the whole application's input while the dialog is shown.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openHelp();
    void restartIdleCount();
    // Closes the dialogs opened from this one that still stand over it; false when another stands there.
    bool closeDialogsAbove();

    SetupContext m_context;
    QTabWidget* m_pages = nullptr;
    TaskQueuePage* m_alarmTasks = nullptr;
    bool m_alarmTaskPagesEnabled = true;
    bool m_shownBefore = false; // the first showing opens on "Alarm Activation"
    std::unique_ptr<Timer> m_idleTimer;
};

} // namespace quietmon
