#include "config/Settings.h"

namespace quietmon {

std::string defaultTitleSetting(const std::string& productName, const std::string& instanceName) {
    return instanceName.empty() ? productName + " " : productName + " - " + instanceName;
}

Settings defaultSettings(const std::string& productName, const std::string& instanceName) {
    Settings settings;
    settings.general.title = defaultTitleSetting(productName, instanceName);
    settings.alarmQueue = TaskQueueSettings(QueueKind::Alarm, Settings::alarmQueueRows, productName);
    settings.returnQueue = TaskQueueSettings(QueueKind::Return, Settings::returnQueueRows, productName);
    return settings;
}

} // namespace quietmon
