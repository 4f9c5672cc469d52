#include "config/Settings.h"

namespace quietmon {

Settings defaultSettings(const std::string& productName) {
    Settings settings;
    settings.general.title = productName + " ";
    settings.alarmQueue.email.subject = productName + " Message";
    settings.alarmQueue.email.message = "Silence detected - %date %time";
    settings.returnQueue.email.subject = productName + " Message";
    settings.returnQueue.email.message = "%date %time - We are on-air again!";
    return settings;
}

} // namespace quietmon
