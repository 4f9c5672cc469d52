#pragma once

#include "config/TaskKindSettings.h"

#include <string>

namespace quietmon {

// "Speak", in the alarm queue: the text, with placeholders.
struct SpeakSettings {
    std::string text;
};

template <> struct SettingsOfKind<TaskKind::Speak> { using type = SpeakSettings; };

} // namespace quietmon
