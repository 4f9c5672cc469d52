#pragma once

#include "config/TaskKindSettings.h"

#include <optional>

namespace quietmon {

enum class RebootKind { Reboot, Shutdown };

// "Reboot system", in the alarm queue.
struct RebootSettings {
    std::optional<RebootKind> kind = RebootKind::Reboot;
};

template <> struct SettingsOfKind<TaskKind::RebootSystem> { using type = RebootSettings; };

} // namespace quietmon
