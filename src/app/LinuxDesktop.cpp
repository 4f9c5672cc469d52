#include "app/LinuxDesktop.h"

#include "platform/linux/LinuxShell.h"
#include "platform/linux/ProcessControl.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSystemTrayIcon>

namespace quietmon {

bool LinuxDesktop::trayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool LinuxDesktop::trayTogglesOnSingleClick() const {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
}

void LinuxDesktop::setIdlePriority(bool idle) {
    quietmon::setIdlePriority(idle);
}

bool LinuxDesktop::openMixer() {
    const std::string program = findProgram(mixerProgram());
    // Tab 4 lists the input devices, where recording levels are set.
    return !program.empty() && startDetached(program, {"--tab=4"});
}

std::optional<std::string> LinuxDesktop::openDocument(const std::string& pathOrUrl) {
    return openWithDesktopOpener(pathOrUrl);
}

} // namespace quietmon
