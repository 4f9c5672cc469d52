#pragma once

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

} // namespace quietmon::task_names
