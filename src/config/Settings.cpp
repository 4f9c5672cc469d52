#include "config/Settings.h"

namespace quietmon {

Settings defaultSettings(const std::string& productName) {
    Settings settings;
    settings.general.title = productName + " ";
    settings.email.subject = productName + " Message";
    settings.email.message = "Silence detected - %date %time";
    settings.retEmail.subject = productName + " Message";
    settings.retEmail.message = "%date %time - We are on-air again!";
    return settings;
}

} // namespace quietmon
