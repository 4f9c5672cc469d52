#include "setup/SetupDialog.h"

#include "monitor/Monitor.h"
#include "platform/DesktopServices.h"
#include "runtime/FileSystem.h"
#include "setup/AboutPage.h"
#include "setup/ActivationPage.h"
#include "setup/SettingsPage.h"
#include "setup/TaskQueuePage.h"
#include "setup/WindowChooser.h"

#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

namespace quietmon {

SetupDialog::SetupDialog(Monitor& monitor, QWidget& owner, MessageBoxes& messages, FileDialogs& files,
                         DesktopServices& desktop)
    : QDialog(&owner), m_context{monitor, messages, files, desktop, nullptr, {}},
      m_idleTimer(monitor.loop().createTimer([this] { onIdleTimer(); })) {
    setWindowTitle(QStringLiteral("Setup"));
    m_idleTimer->setInterval(idleCloseMs);
}

void SetupDialog::buildPages() {
    m_pages = new QTabWidget(this);
    // The pages, in order: "Alarm Activation", "Alarm Tasks", "Return Tasks", "Settings", "About".
    m_pages->addTab(new ActivationPage(m_context, m_pages), QStringLiteral("Alarm Activation"));
    m_alarmTasks = new TaskQueuePage(m_context, QueueKind::Alarm, m_pages);
    m_pages->addTab(m_alarmTasks, QStringLiteral("Alarm Tasks"));
    m_pages->addTab(new TaskQueuePage(m_context, QueueKind::Return, m_pages), QStringLiteral("Return Tasks"));
    setAlarmTaskPagesEnabled(m_alarmTaskPagesEnabled);
    m_pages->addTab(new SettingsPage(m_context, m_pages), QStringLiteral("Settings"));
    m_pages->addTab(new AboutPage(m_context, m_pages), QStringLiteral("About"));

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    auto* help = new QPushButton(QStringLiteral("Help"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] { openHelp(); });
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(close);
    buttons->addStretch();
    buttons->addWidget(help);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed border
}

void SetupDialog::setAlarmTaskPagesEnabled(bool enabled) {
    m_alarmTaskPagesEnabled = enabled;
    if (m_alarmTasks)
        m_alarmTasks->setSubPagesEnabled(enabled);
}

// A help page that is missing, or no opener to show it, is logged: nothing else would say why nothing opens.
void SetupDialog::openHelp() {
    const std::string page = m_context.monitor.folders().programFolder + "quietmon.htm";
    const std::optional<std::string> failure =
        fileExists(page) ? m_context.desktop.openDocument(page) : std::string(std::strerror(ENOENT));
    if (failure)
        m_context.monitor.logEvent("Can't open " + page + " - " + *failure);
}

void SetupDialog::showEvent(QShowEvent* event) {
    restartIdleCount();
    QCoreApplication::instance()->installEventFilter(this);
    m_context.fields.refresh();
    if (!m_shownBefore) {
        m_shownBefore = true;
        m_pages->setCurrentIndex(0);
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    QDialog::showEvent(event);
}

void SetupDialog::hideEvent(QHideEvent* event) {
    m_idleTimer->setEnabled(false);
    QCoreApplication::instance()->removeEventFilter(this);
    QDialog::hideEvent(event);
}

bool SetupDialog::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        restartIdleCount();
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void SetupDialog::restartIdleCount() {
    m_idleTimer->setEnabled(false);
    m_idleTimer->setEnabled(true);
}

void SetupDialog::onIdleTimer() {
    // Should another dialog stand over this one, the next tick tries again.
    if (!closeDialogsAbove())
        return;
    m_context.monitor.logEvent("Setup closed after 10 minutes without input");
    reject();
}

// What the operator opened from here (a file dialog, the window chooser, a Test's message box) goes as
// its Cancel would; anything else, such as the reboot countdown of a running queue, is left to end by
// itself.
bool SetupDialog::closeDialogsAbove() {
    for (QWidget* top = QApplication::activeModalWidget(); top && top != this;
         top = QApplication::activeModalWidget()) {
        auto* dialog = qobject_cast<QDialog*>(top);
        const bool openedHere = qobject_cast<QFileDialog*>(top) || qobject_cast<QMessageBox*>(top) ||
                                dynamic_cast<WindowPicker*>(top);
        if (!dialog || !openedHere)
            return false;
        dialog->reject();
        if (QApplication::activeModalWidget() == top)
            return false; // it would not go
    }
    return true;
}

} // namespace quietmon
