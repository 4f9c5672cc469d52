#include "app/MainWindow.h"

#include "audio/ui/LevelValueLabel.h"
#include "audio/ui/VuMeterWidget.h"
#include "config/ProductIdentity.h"
#include "setup/PasswordDialog.h"
#include "setup/SetupDialog.h"
#include "tasks/StatusTexts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSystemTrayIcon>

namespace quietmon {

namespace {

const char* const defaultTitle = productNameText;

// Two level bars under a threshold line: the program's icon, drawn rather than shipped.
QIcon makeIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(6, 12, 8, 18, QColor(0, 160, 0));
    painter.fillRect(18, 18, 8, 12, QColor(0, 160, 0));
    painter.fillRect(2, 9, 28, 2, QColor(220, 0, 0));
    return QIcon(pixmap);
}

template <typename Label = QLabel>
Label* label(QWidget* parent, const QString& text, int x, int y, int width, int height = 17) {
    auto* created = new Label(text, parent);
    created->setGeometry(x, y, width, height);
    return created;
}

// Placed side by side when the window fits itself to its texts.
QPushButton* button(QWidget* parent, const QString& text) {
    auto* created = new QPushButton(text, parent);
    created->setGeometry(0, 106, 60, 26);
    return created;
}

// The layout's narrowest widths, which hold the default texts of most fonts.
constexpr int minCaptionWidth = 72;
constexpr int minValueWidth = 40;
constexpr int minStatusWidth = 111;
constexpr int frameGap = 4;
constexpr int buttonGap = 3;

int textWidth(const QWidget& widget, const QString& text) {
    return widget.fontMetrics().horizontalAdvance(text) + 2;
}

// The widest "Last silence:" line: a day, month, hour and minute of two digits each, in the font's
// widest digit.
QString widestLastSilence(const QWidget& widget) {
    QChar widest = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit)
        if (widget.fontMetrics().horizontalAdvance(QLatin1Char(digit)) >
            widget.fontMetrics().horizontalAdvance(widest))
            widest = QLatin1Char(digit);
    const QString two(2, widest);
    return QStringLiteral("Last silence: ") + two + QLatin1Char('.') + two + QLatin1Char(' ') + two +
           QLatin1Char(':') + two;
}

} // namespace

MainWindow::MainWindow(Monitor& monitor, DesktopServices& desktop, MessageBoxes& messages)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_monitor(monitor), m_desktop(desktop), m_messages(messages) {
    setWindowTitle(defaultTitle);
    setWindowIcon(makeIcon());
    setFixedSize(clientWidth, clientHeight);
    buildControls();
    buildTray();
    m_monitor.setView(this);
}

void MainWindow::showStoredPlacement() {
    const Settings& settings = m_monitor.settings();
    m_startVisible = settings.state.visible;
    m_putAwayByHide = !m_startVisible;
    move(settings.state.left, settings.state.top);
    m_thresholdSlider->setValue(settings.state.threshold);
    applyStayOnTop(settings.general.alwaysOnTop);
    if (settings.general.useSystemFont)
        applySystemFont();
    // The window's width depends on its font, and keeping it on screen on its width.
    fitFramesToTexts();
    keepOnScreen();
    const DateTime now = m_monitor.loop().clock().now();
    m_since->setText(
        QString::fromStdString("Since: " + now.formatDayMonthYear() + " " + now.formatShortTime()));
}

void MainWindow::showOnceTheLoopRuns() {
    m_startupVisibilityTimer = m_monitor.loop().createTimer([this] { onStartupVisibilityTimer(); });
    m_startupVisibilityTimer->setInterval(10);
    m_startupVisibilityTimer->setEnabled(true);
}

MainWindow::~MainWindow() {
    m_monitor.setView(nullptr);
}

void MainWindow::setDialogs(SetupDialog* setup, PasswordDialog* password) {
    m_setupDialog = setup;
    m_passwordDialog = password;
    // The alarm queue resumed after the program's own reboot asks for this while the dialog is created.
    m_setupDialog->setAlarmTaskPagesEnabled(m_alarmTaskPagesEnabled);
}

void MainWindow::buildControls() {
    m_meter = new VuMeterWidget(this);
    m_meter->setGeometry(4, 10, 41, 119);
    m_meter->setColours(meter_colour::yellow, meter_colour::lime, meter_colour::red);
    m_meter->setBackgroundColour(meter_colour::black);
    m_meter->setLevelMin(-96);
    m_meter->setLevelMed(-25);
    m_thresholdSlider = new QSlider(Qt::Vertical, this);
    m_thresholdSlider->setGeometry(47, 4, 20, 131);
    m_thresholdSlider->setRange(0, 96);
    // Position 0, 0 dB, is at the top; Up, Page Up and the wheel turned up move the thumb up, towards it.
    m_thresholdSlider->setInvertedAppearance(true);
    m_thresholdSlider->setInvertedControls(true);
    m_thresholdSlider->setValue(25);
    connect(m_thresholdSlider, &QSlider::valueChanged, this,
            [this] { guarded([this] { onThresholdSliderChanged(); }); });

    m_levelsFrame = new QGroupBox(QStringLiteral("Levels"), this);
    m_levelsFrame->setGeometry(70, 0, 121, 98);
    m_leftCaption = label(m_levelsFrame, QStringLiteral("Audio Left:"), 6, 22, 72);
    m_leftValue = label<LevelValueLabel>(m_levelsFrame, QStringLiteral("0 dB"), 78, 22, 40);
    m_rightCaption = label(m_levelsFrame, QStringLiteral("Audio Right:"), 6, 46, 72);
    m_rightValue = label<LevelValueLabel>(m_levelsFrame, QStringLiteral("0 dB"), 78, 46, 40);
    m_thresholdCaption = label(m_levelsFrame, QStringLiteral("Threshold:"), 6, 70, 72);
    m_thresholdValue = label(m_levelsFrame, QStringLiteral("0 dB"), 78, 70, 40);
    // The levels change with every buffer: labels that fill their own background are redrawn alone, without
    // the frame behind them, which costs several times the label itself.
    for (QLabel* value : {m_leftValue, m_rightValue})
        value->setAutoFillBackground(true);

    m_statusFrame = new QGroupBox(QStringLiteral("Status"), this);
    m_statusFrame->setGeometry(195, 0, 120, 98);
    m_status = label(m_statusFrame, QStringLiteral("Alarm not active"), 6, 20, 111);
    QFont bold = m_status->font();
    bold.setBold(true);
    m_status->setFont(bold);
    m_lastSilence = label(m_statusFrame, QStringLiteral("Last silence:"), 6, 40, 111);
    m_since = label(m_statusFrame, QStringLiteral("Since:"), 6, 58, 111, 36);
    m_since->setWordWrap(true);
    m_since->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_mixer = button(this, QStringLiteral("Mixer"));
    m_setup = button(this, QStringLiteral("Setup"));
    m_hide = button(this, QStringLiteral("Hide"));
    m_exit = button(this, QStringLiteral("Exit"));
    connect(m_mixer, &QPushButton::clicked, this, [this] { guarded([this] { openMixer(); }); });
    connect(m_setup, &QPushButton::clicked, this, [this] { guarded([this] { openSetup(); }); });
    connect(m_hide, &QPushButton::clicked, this, [this] { guarded([this] { toggleVisibility(); }); });
    connect(m_exit, &QPushButton::clicked, this, [this] { close(); });
}

void MainWindow::fitFramesToTexts() {
    const int captionWidth = std::max({minCaptionWidth, textWidth(*m_leftCaption, m_leftCaption->text()),
                                       textWidth(*m_rightCaption, m_rightCaption->text()),
                                       textWidth(*m_thresholdCaption, m_thresholdCaption->text())});
    const int valueWidth = std::max(minValueWidth, textWidth(*m_leftValue, QStringLiteral("-96 dB")));
    for (QLabel* caption : {m_leftCaption, m_rightCaption, m_thresholdCaption})
        caption->resize(captionWidth, caption->height());
    for (QLabel* value : {m_leftValue, m_rightValue, m_thresholdValue})
        value->setGeometry(6 + captionWidth, value->y(), valueWidth, value->height());
    m_levelsFrame->resize(6 + captionWidth + valueWidth + 3, m_levelsFrame->height());

    int statusWidth = std::max(minStatusWidth, textWidth(*m_lastSilence, widestLastSilence(*m_lastSilence)));
    for (const char* text : status_texts::longest)
        statusWidth = std::max(statusWidth, textWidth(*m_status, QString::fromLatin1(text)));
    for (QLabel* line : {m_status, m_lastSilence, m_since})
        line->resize(statusWidth, line->height());
    m_statusFrame->setGeometry(m_levelsFrame->geometry().right() + 1 + frameGap, 0, statusWidth + 9,
                               m_statusFrame->height());

    const int width = m_statusFrame->geometry().right() + 1 + frameGap;
    setFixedSize(width, clientHeight);
    // The four buttons share the width beside the meter evenly.
    const int buttonsLeft = m_levelsFrame->x();
    const int buttonWidth = (width - frameGap - buttonsLeft - 3 * buttonGap) / 4;
    int x = buttonsLeft;
    for (QPushButton* button : {m_mixer, m_setup, m_hide, m_exit}) {
        button->setGeometry(x, button->y(), buttonWidth, button->height());
        x += buttonWidth + buttonGap;
    }
}

void MainWindow::onThresholdSliderChanged() {
    const int position = m_thresholdSlider->value();
    m_monitor.settings().state.threshold = position;
    m_meter->setLevelMed(-position);
    m_thresholdValue->setText(QString::number(-position) + QStringLiteral(" dB"));
    // Integer division truncates toward zero: -40 gives -6, -96 gives -14.
    m_meter->setLevelHigh(
        std::max(m_meter->table().levelMed(), m_monitor.settings().general.minThreshold * 6 / 40));
}

void MainWindow::showMeasurement(const Measurement& measurement) {
    m_lastMeasurement = measurement;
    m_meter->showLevels(measurement.meterLeft, measurement.meterRight);
    // Labels nobody can see are not redrawn; they catch up when the window is shown.
    if (shownOnScreen())
        showLevelLabels();
}

void MainWindow::showLevelLabels() {
    const auto show = [](QLabel* value, int db, bool silent) {
        const QString text = QString::number(db) + QStringLiteral(" dB");
        if (value->text() != text)
            value->setText(text);
        QPalette palette = value->palette();
        const QColor colour = silent ? QColor(Qt::red) : QApplication::palette().color(QPalette::WindowText);
        if (palette.color(QPalette::WindowText) != colour) {
            palette.setColor(QPalette::WindowText, colour);
            value->setPalette(palette);
        }
    };
    show(m_leftValue, m_lastMeasurement.dbLeft, m_lastMeasurement.leftSilent);
    show(m_rightValue, m_lastMeasurement.dbRight, m_lastMeasurement.rightSilent);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_lastMeasurement.valid)
        showLevelLabels();
    noticeShownOnScreen();
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        noticeShownOnScreen();
}

// However the window came back (Hide again, the tray, the taskbar), it no longer counts as put away.
void MainWindow::noticeShownOnScreen() {
    if (shownOnScreen())
        m_putAwayByHide = false;
}

void MainWindow::buildTray() {
    m_trayMenu = new QMenu(this);
    m_trayMenu->addAction(QStringLiteral("Show/Hide"), this,
                          [this] { guarded([this] { toggleVisibility(); }); });
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(QStringLiteral("Exit"), this, [this] { close(); });
    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setContextMenu(m_trayMenu);
    m_tray->setToolTip(defaultTitle);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        const bool toggle = reason == QSystemTrayIcon::DoubleClick ||
                            (reason == QSystemTrayIcon::Trigger && m_desktop.trayTogglesOnSingleClick());
        if (toggle)
            guarded([this] { toggleVisibility(); });
    });
    // Without a display there is no tray to be in, and Qt's stand-in tray would only print a warning
    // about a signal that only the X11 platform has.
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        m_tray->show();
}

void MainWindow::keepOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    QPoint position = pos();
    const QSize size = frameGeometry().size();
    if (area.height() < position.y() + 20)
        position.setY(area.height() - size.height());
    if (area.width() < position.x() + 20)
        position.setX(area.width() - size.width());
    move(position);
}

void MainWindow::applySystemFont() {
    const QFont messageFont = QApplication::font("QMessageBox");
    setFont(messageFont);
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_levelsFrame, m_statusFrame, m_mixer, m_setup, m_hide, m_exit}) {
        QFont font = control->font();
        font.setFamily(messageFont.family());
        control->setFont(font);
    }
}

void MainWindow::applyStayOnTop(bool onTop) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop)
        return;
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop); // hides the window
    if (wasVisible)
        show();
}

void MainWindow::onStartupVisibilityTimer() {
    m_startupVisibilityTimer->setEnabled(false);
    // Nobody could see it; the saved "Visible" stays as it was for the next start with a desktop.
    if (m_monitor.withoutDisplay())
        return;
    if (m_startVisible)
        show();
    else
        putAway();
    rememberWindowState();
}

void MainWindow::showOnTop() {
    applyStayOnTop(true);
    showNormal();
    raise();
    activateWindow();
}

bool MainWindow::shownOnScreen() const {
    return isVisible() && !isMinimized();
}

void MainWindow::toggleVisibility() {
    if (m_desktop.trayAvailable()) {
        if (isVisible())
            putAway();
        else
            showOnTop();
    } else if (isMinimized() || !isVisible()) {
        showOnTop();
    } else {
        putAway();
    }
    rememberWindowState();
}

void MainWindow::putAway() {
    m_putAwayByHide = true;
    if (m_desktop.trayAvailable())
        hide();
    else
        showMinimized(); // without a tray a hidden window could not be brought back
}

void MainWindow::rememberWindowState() {
    SavedState& state = m_monitor.settings().state;
    // A window the operator minimised with its title-bar button comes back at the next start.
    state.visible = !m_putAwayByHide;
    state.top = pos().y();
    state.left = pos().x();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    m_monitor.settings().state.top = pos().y();
    m_monitor.settings().state.left = pos().x();
}

void MainWindow::applyTitle() {
    const QString title = QString::fromStdString(m_monitor.settings().general.title);
    setWindowTitle(title);
}

QString MainWindow::trayTip() const {
    return QString::fromStdString(m_monitor.settings().general.title).left(37) + QLatin1Char('\n') +
           QString::fromStdString(m_monitor.statusText());
}

void MainWindow::updateTray() {
    m_tray->setToolTip(trayTip());
}

void MainWindow::showLastSilence(const std::string& text) {
    m_lastSilence->setText(QString::fromStdString(text));
}

// Before a task that blocks the thread, so that the window shows the current status meanwhile.
void MainWindow::repaintNow() {
    if (shownOnScreen())
        repaint();
}

void MainWindow::setAlarmTaskPagesEnabled(bool enabled) {
    m_alarmTaskPagesEnabled = enabled;
    if (m_setupDialog)
        m_setupDialog->setAlarmTaskPagesEnabled(enabled);
}

void MainWindow::showStatus(const std::string& text, StatusColour colour) {
    m_status->setText(QString::fromStdString(text));
    QPalette palette = m_status->palette();
    palette.setColor(QPalette::WindowText, colour == StatusColour::Alarm
                                               ? QColor(Qt::red)
                                               : QApplication::palette().color(QPalette::WindowText));
    m_status->setPalette(palette);
}

void MainWindow::applySettings() {
    Settings& settings = m_monitor.settings();
    m_desktop.setIdlePriority(settings.general.idlePriority);
    m_thresholdSlider->setEnabled(!settings.general.lockTrackbar);
    // The slider pulls a position beyond its new maximum back, which changes the threshold.
    m_thresholdSlider->setMaximum(-settings.general.minThreshold);
    m_meter->setLevelMin(settings.general.minThreshold);
    onThresholdSliderChanged();
    applyStayOnTop(settings.general.alwaysOnTop);
    const std::string titleBefore = settings.general.title;
    m_monitor.applyPreferences();
    if (settings.general.title != titleBefore)
        applyTitle();
    m_leftCaption->setText(QString::fromStdString("Audio " + settings.general.leftName));
    m_rightCaption->setText(QString::fromStdString("Audio " + settings.general.rightName));
    const std::optional<ChannelRule> rule = settings.activation.channels;
    const bool leftEnabled = rule != ChannelRule::RightChannel;
    const bool rightEnabled = rule != ChannelRule::LeftChannel;
    m_leftCaption->setEnabled(leftEnabled);
    m_leftValue->setEnabled(leftEnabled);
    m_rightCaption->setEnabled(rightEnabled);
    m_rightValue->setEnabled(rightEnabled);
    fitFramesToTexts();
}

void MainWindow::openMixer() {
    if (!m_passwordDialog || !m_monitor.confirmSetupAccess(*m_passwordDialog, m_messages))
        return;
    if (!m_desktop.openMixer())
        m_messages.inform("Can't find " + m_desktop.mixerProgram() +
                          ". \nUse the original soundcard's software to set the recording properties.");
}

void MainWindow::openSetup() {
    if (!m_setupDialog || !m_passwordDialog || !m_monitor.confirmSetupAccess(*m_passwordDialog, m_messages))
        return;
    m_monitor.setSetupShown(true);
    m_setupDialog->exec();
    m_monitor.setSetupShown(false);
    applySettings();
    m_monitor.saveSettings();
}

void MainWindow::guarded(const std::function<void()>& action) {
    m_monitor.loop().runGuarded(action);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_closing) {
        event->accept();
        return;
    }
    m_closing = true;
    guarded([this] {
        rememberWindowState();
        m_monitor.close();
    });
    hide();
    guarded([this] { m_monitor.stopCapture(); });
    m_tray->hide();
    m_monitor.windDownTasks();
    event->accept();
    QCoreApplication::quit();
}

} // namespace quietmon
