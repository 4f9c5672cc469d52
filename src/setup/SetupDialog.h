#pragma once

#include "setup/SetupContext.h"

#include <QDialog>

class QTabWidget;

namespace quietmon {

class TaskQueuePage;

// The Setup dialog: five pages of fields bound to the live settings, with "Close" and "Help" beside them.
// Creating it finishes the program's start-up: the remaining settings are loaded, the log is opened,
// the settings are applied and the start-up status takes effect.
class SetupDialog final : public QDialog {
public:
    SetupDialog(Monitor& monitor, MainWindow& mainWindow, MessageBoxes& messages, FileDialogs& files,
                DesktopServices& desktop);

    void setWindowPicker(WindowPicker* picker) { m_context.windowPicker = picker; }

    // The alarm-task pages cannot be edited while the alarm queue runs.
    void setAlarmTaskPagesEnabled(bool enabled);
    bool alarmTaskPagesEnabled() const { return m_alarmTaskPagesEnabled; }

    QTabWidget& pages() { return *m_pages; }
    SetupContext& context() { return m_context; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void finishStartUp();
    void buildPages();
    void openHelp();

    SetupContext m_context;
    QTabWidget* m_pages = nullptr;
    TaskQueuePage* m_alarmTasks = nullptr;
    bool m_alarmTaskPagesEnabled = true;
    bool m_shownBefore = false; // the first showing opens on "Alarm Activation"
};

} // namespace quietmon
