#pragma once

#include "config/TaskKindSettings.h"

#include <string>

namespace quietmon {

// "Save screenshot", in both queues.
struct ScreenshotSettings {
    std::string file;
    bool deactivateScreenSaver = false;
};

template <> struct SettingsOfKind<TaskKind::SaveScreenshot> { using type = ScreenshotSettings; };

} // namespace quietmon
