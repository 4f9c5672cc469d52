#pragma once

#include <QDialog>

namespace quietmon {

class Monitor;
class MainWindow;

// The Setup dialog. Creating it finishes the program's start-up: the remaining settings are loaded, the
// log is opened, the settings are applied and the start-up status takes effect.
class SetupDialog final : public QDialog {
public:
    SetupDialog(Monitor& monitor, MainWindow& mainWindow);

    // The alarm-task pages cannot be edited while the alarm queue runs.
    void setAlarmTaskPagesEnabled(bool enabled) { m_alarmTaskPagesEnabled = enabled; }
    bool alarmTaskPagesEnabled() const { return m_alarmTaskPagesEnabled; }

private:
    Monitor& m_monitor;
    bool m_alarmTaskPagesEnabled = true;
};

} // namespace quietmon
