#pragma once

#include <QDialog>

namespace quietmon {

class Monitor;
class TForm1;

// The Setup dialog. Creating it finishes the program's start-up: the remaining settings are loaded, the
// log is opened, the settings are applied and the start-up status takes effect.
class TSetup final : public QDialog {
public:
    TSetup(Monitor& monitor, TForm1& mainWindow);

    // The alarm-task pages cannot be edited while the alarm queue runs.
    void setAlarmTaskPagesEnabled(bool enabled) { m_alarmTaskPagesEnabled = enabled; }
    bool alarmTaskPagesEnabled() const { return m_alarmTaskPagesEnabled; }

private:
    Monitor& m_monitor;
    bool m_alarmTaskPagesEnabled = true;
};

// The window chooser, used by the Setup dialog's "Find" buttons.
class TDProcess final : public QDialog {
public:
    explicit TDProcess(QWidget* parent = nullptr);
};

// The countdown shown before the "Reboot system" task restarts the computer.
class TReboot final : public QDialog {
public:
    explicit TReboot(QWidget* parent = nullptr);
};

} // namespace quietmon
