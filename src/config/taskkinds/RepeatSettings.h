#pragma once

#include "config/TaskKindSettings.h"

namespace quietmon {

// "Repeat", in the alarm queue: from which line of the running list, and how many times at most.
struct RepeatSettings {
    int fromLine = 1;
    int maximum = 5;
};

template <> struct SettingsOfKind<TaskKind::Repeat> { using type = RepeatSettings; };

} // namespace quietmon
