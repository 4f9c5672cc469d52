#pragma once

#include <array>

namespace quietmon::task_names {

// The captions of the Setup dialog's task pages; queue rows hold them and are compared with them whole
// and case-sensitive.
inline constexpr const char* sendEmail = "Send email";
inline constexpr const char* saveScreenshot = "Save screenshot";
inline constexpr const char* openPlay1 = "Open/Play 1";
inline constexpr const char* openPlay2 = "Open/Play 2";
inline constexpr const char* openPlay = "Open/Play";
inline constexpr const char* rebootSystem = "Reboot system";
inline constexpr const char* killApplication = "Kill application";
inline constexpr const char* switchPortPin = "Switch port pin";
inline constexpr const char* delay = "Delay";
inline constexpr const char* sendHttpQuery = "Send HTTP query";
inline constexpr const char* speak = "Speak";
inline constexpr const char* repeat = "Repeat";

// The names each queue's executor acts on; any other row does nothing.
inline constexpr std::array alarmQueueTasks = {sendEmail,     saveScreenshot,  openPlay1,     openPlay2,
                                               rebootSystem,  killApplication, switchPortPin, delay,
                                               sendHttpQuery, speak,           repeat};
inline constexpr std::array returnQueueTasks = {sendEmail,       saveScreenshot, openPlay,
                                                killApplication, delay,          sendHttpQuery};

} // namespace quietmon::task_names
