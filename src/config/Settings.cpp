#include "config/Settings.h"

namespace quietmon {

std::string defaultTitleSetting(const std::string& productName, const std::string& instanceName) {
    return instanceName.empty() ? productName + " " : productName + " - " + instanceName;
}

Settings defaultSettings(const std::string& productName, const std::string& instanceName) {
    Settings settings;
    settings.general.title = defaultTitleSetting(productName, instanceName);
    settings.alarmQueue.email.subject = productName + " Message";
    settings.alarmQueue.email.message = "Silence detected - %date %time";
    settings.returnQueue.email.subject = productName + " Message";
    settings.returnQueue.email.message = "%date %time - We are on-air again!";
    return settings;
}

} // namespace quietmon
