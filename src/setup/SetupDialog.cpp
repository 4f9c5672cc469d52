#include "setup/SetupDialog.h"

#include "app/DesktopServices.h"
#include "app/MainWindow.h"
#include "app/Monitor.h"
#include "platform/FileSystem.h"
#include "setup/AboutPage.h"
#include "setup/ActivationPage.h"
#include "setup/SettingsPage.h"
#include "setup/TaskQueuePage.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

namespace quietmon {

SetupDialog::SetupDialog(Monitor& monitor, MainWindow& mainWindow, MessageBoxes& messages, FileDialogs& files,
                         DesktopServices& desktop)
    : QDialog(&mainWindow), m_context{monitor, mainWindow, messages, files, desktop, nullptr, {}} {
    setWindowTitle(QStringLiteral("Setup"));
    finishStartUp();
    buildPages();
}

// The start-up steps that belong to the dialog's creation, in the program's order; the pages are built
// afterwards, from the settings as loaded and applied.
void SetupDialog::finishStartUp() {
    Monitor& monitor = m_context.monitor;
    MainWindow& mainWindow = m_context.mainWindow;
    monitor.listAudioDevices();
    monitor.loadSetupSettings();
    mainWindow.applyTitle();
    mainWindow.updateTray();
    monitor.chooseAudioDevice();
    monitor.openLog();
    monitor.openAudioDevice();
    mainWindow.applySettings();
    monitor.finishStartUp();
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
    m_context.fields.refresh();
    if (!m_shownBefore) {
        m_shownBefore = true;
        m_pages->setCurrentIndex(0);
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    QDialog::showEvent(event);
}

} // namespace quietmon
