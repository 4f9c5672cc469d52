#pragma once

#include "config/TaskKindSettings.h"

namespace quietmon {

// "Delay", in both queues: the alarm queue waits up to an hour, the return queue, which holds the
// thread, up to half a minute.
struct DelaySettings {
    static constexpr int longestAlarmSeconds = 3600;
    static constexpr int longestReturnSeconds = 30;

    int seconds = 1;
};

template <> struct SettingsOfKind<TaskKind::Delay> { using type = DelaySettings; };

} // namespace quietmon
