#include "setup/TSetup.h"

#include "app/Monitor.h"
#include "app/TForm1.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace quietmon {

TSetup::TSetup(Monitor& monitor, TForm1& mainWindow) : QDialog(&mainWindow), m_monitor(monitor) {
    setWindowTitle(QStringLiteral("Setup"));
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_monitor.listAudioDevices();
    m_monitor.loadSetupSettings();
    mainWindow.applyTitle();
    mainWindow.TrayUpdate();
    m_monitor.chooseAudioDevice();
    m_monitor.openLog();
    m_monitor.openAudioDevice();
    mainWindow.SetPref();
    m_monitor.finishStartUp();
    // The folders, where the About page shows them.
    auto* folders =
        new QLabel(QString::fromStdString("Application folder: " + m_monitor.folders().programFolder +
                                          "\nData folder: " + m_monitor.folders().dataFolder),
                   this);
    folders->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->insertWidget(0, folders);
}

TDProcess::TDProcess(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Window"));
}

TReboot::TReboot(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Warning"));
}

} // namespace quietmon
