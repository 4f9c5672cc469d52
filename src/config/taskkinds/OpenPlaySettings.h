#pragma once

#include "config/TaskKindSettings.h"

#include <array>
#include <string>

namespace quietmon {

// The three files and their parameters of "Open/Play 1" and "Open/Play 2" (alarm queue) and "Open/Play"
// (return queue), each kind its own.
struct OpenSettings {
    std::array<std::string, 3> files;
    std::array<std::string, 3> params;
};

template <> struct SettingsOfKind<TaskKind::OpenPlay1> { using type = OpenSettings; };
template <> struct SettingsOfKind<TaskKind::OpenPlay2> { using type = OpenSettings; };
template <> struct SettingsOfKind<TaskKind::OpenPlay> { using type = OpenSettings; };

} // namespace quietmon
