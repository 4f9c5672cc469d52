#pragma once

#include "monitor/Monitor.h"
#include "platform/DesktopServices.h"

#include <QWidget>
#include <memory>

class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QSystemTrayIcon;

namespace quietmon {

class VuMeterWidget;
class SetupDialog;
class PasswordDialog;

// The main window: levels, threshold slider, status, the four buttons and the tray icon. It shows the
// monitor's state and forwards the operator's actions; what the monitor decides lives in Monitor.
class MainWindow final : public QWidget, public MonitorView {
public:
    // The narrowest client area; the window grows wider to show its texts whole.
    static constexpr int clientWidth = 319;
    static constexpr int clientHeight = 139;

    // The controls and the tray icon, not yet fed: the start-up does that, step by step.
    MainWindow(Monitor& monitor, DesktopServices& desktop, MessageBoxes& messages);
    ~MainWindow() override;

    // The window's own keys of the settings file: its place, the threshold, "Always on top", the font, and
    // the moment monitoring started.
    void showStoredPlacement();
    // Shows the window, or leaves only the tray icon, once the event loop runs.
    void showOnceTheLoopRuns();

    // Dialogs created after the main window.
    void setDialogs(SetupDialog* setup, PasswordDialog* password);

    // Applies the settings to the window, the priority and the countdowns.
    void applySettings();
    void updateTray() override;
    void applyTitle() override;
    // "Hide", the tray's double-click and its "Show/Hide".
    void toggleVisibility();

    void showStatus(const std::string& text, StatusColour colour) override;
    void showMeasurement(const Measurement& measurement) override;
    void showLastSilence(const std::string& text) override;
    void repaintNow() override;
    void setAlarmTaskPagesEnabled(bool enabled) override;
    // The slider's change handler: the threshold line, the meter's colours.
    void onThresholdSliderChanged();

    // For tests and the Setup dialog.
    QSystemTrayIcon& trayIcon() { return *m_tray; }
    QString trayTip() const;
    QSlider& thresholdSlider() { return *m_thresholdSlider; }
    QPushButton& hideButton() { return *m_hide; }
    QPushButton& setupButton() { return *m_setup; }
    QPushButton& mixerButton() { return *m_mixer; }
    QPushButton& exitButton() { return *m_exit; }
    QLabel& leftCaption() { return *m_leftCaption; }
    QLabel& rightCaption() { return *m_rightCaption; }
    QLabel& leftValue() { return *m_leftValue; }
    QLabel& rightValue() { return *m_rightValue; }
    QLabel& statusLabel() { return *m_status; }
    QLabel& sinceLabel() { return *m_since; }
    QLabel& lastSilenceLabel() { return *m_lastSilence; }
    QLabel& thresholdValue() { return *m_thresholdValue; }
    VuMeterWidget& meter() { return *m_meter; }
    bool shownOnScreen() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    // Widens the frames, and with them the window, until every status text, the "Last silence:" line
    // and the channel captions fit whole in the current font.
    void fitFramesToTexts();
    void showLevelLabels();
    void buildTray();
    void keepOnScreen();
    void applySystemFont();
    void applyStayOnTop(bool onTop);
    void onStartupVisibilityTimer();
    void showOnTop();
    // "Hide": to the tray, or minimised where there is no tray.
    void putAway();
    void noticeShownOnScreen();
    void openMixer();
    void openSetup();
    void rememberWindowState();
    // Runs an operator's action inside the loop's error guard.
    void guarded(const std::function<void()>& action);

    Monitor& m_monitor;
    DesktopServices& m_desktop;
    MessageBoxes& m_messages;
    SetupDialog* m_setupDialog = nullptr;
    PasswordDialog* m_passwordDialog = nullptr;
    bool m_startVisible = true;
    bool m_closing = false;
    // Saved as "Visible": only a window put away with "Hide" starts hidden next time.
    bool m_putAwayByHide = false;
    bool m_alarmTaskPagesEnabled = true;
    std::unique_ptr<Timer> m_startupVisibilityTimer;

    QGroupBox* m_levelsFrame = nullptr;
    QGroupBox* m_statusFrame = nullptr;
    QLabel* m_leftCaption = nullptr;
    QLabel* m_leftValue = nullptr;
    QLabel* m_rightCaption = nullptr;
    QLabel* m_rightValue = nullptr;
    QLabel* m_thresholdCaption = nullptr;
    QLabel* m_thresholdValue = nullptr;
    VuMeterWidget* m_meter = nullptr;
    Measurement m_lastMeasurement;
    QSlider* m_thresholdSlider = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_lastSilence = nullptr;
    QLabel* m_since = nullptr;
    QPushButton* m_mixer = nullptr;
    QPushButton* m_setup = nullptr;
    QPushButton* m_hide = nullptr;
    QPushButton* m_exit = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
};

} // namespace quietmon
