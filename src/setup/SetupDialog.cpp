#include "setup/SetupDialog.h"

#include "app/MainWindow.h"
#include "app/Monitor.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace quietmon {

SetupDialog::SetupDialog(Monitor& monitor, MainWindow& mainWindow)
    : QDialog(&mainWindow), m_monitor(monitor) {
    setWindowTitle(QStringLiteral("Setup"));
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_monitor.listAudioDevices();
    m_monitor.loadSetupSettings();
    mainWindow.applyTitle();
    mainWindow.updateTray();
    m_monitor.chooseAudioDevice();
    m_monitor.openLog();
    m_monitor.openAudioDevice();
    mainWindow.applySettings();
    m_monitor.finishStartUp();
    // The folders, where the About page shows them.
    auto* folders =
        new QLabel(QString::fromStdString("Application folder: " + m_monitor.folders().programFolder +
                                          "\nData folder: " + m_monitor.folders().dataFolder),
                   this);
    folders->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->insertWidget(0, folders);
}

} // namespace quietmon
