#pragma once

#include "config/Settings.h"

#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace quietmon {

enum class ValueType { Bool, Integer, String, ScrambledString, Time, DateTime };

// How a loaded value is brought into its control's range.
enum class LoadRule {
    AsRead,
    Clamp,         // number field or slider: into [min, max]
    ListIndex,     // list choice of `max` lines: an index outside it selects no line (-1)
    QueuePosition, // the alarm executor's position: below 1 reads as 999, which ends a queue at once;
                   // 999 stays; anything else is clamped into [min, max]
};

enum class KeyRole {
    Setting,   // edited in the Setup dialog
    State,     // run-time state of the main window
    WriteOnly, // written on every save, never read
};

using FieldRef = std::variant<std::monostate, std::function<bool&(Settings&)>, std::function<int&(Settings&)>,
                              std::function<std::string&(Settings&)>, std::function<TimeOfDay&(Settings&)>,
                              std::function<DateTime&(Settings&)>>;

struct KeySpec {
    std::string section;
    std::string key;
    ValueType type;
    KeyRole role;
    // Empty for the save time, which is no field; a DateTime field is a moment kept from run to run.
    FieldRef field;
    LoadRule rule = LoadRule::AsRead;
    int min = 0;
    int max = 0;
};

// Every key of the settings file, in the order a save writes them.
const std::vector<KeySpec>& settingsSchema();

} // namespace quietmon
