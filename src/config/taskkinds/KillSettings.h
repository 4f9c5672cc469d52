#pragma once

#include "config/TaskKindSettings.h"

#include <array>
#include <string>

namespace quietmon {

// An application to end, named by its window's title and class, either of them empty for "any".
struct KillTarget {
    std::string title;
    std::string windowClass;
    bool operator==(const KillTarget&) const = default;
};

// "Kill application" ends up to two applications, in order; in both queues.
struct KillSettings {
    std::array<KillTarget, 2> applications;
};

template <> struct SettingsOfKind<TaskKind::KillApplication> { using type = KillSettings; };

} // namespace quietmon
