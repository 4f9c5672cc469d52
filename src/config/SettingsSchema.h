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
    QueuePosition, // the alarm executor's position: below 1 or noQueuePositionInFile reads as none,
                   // which ends a queue at once; anything else is clamped into [min, max]
};

// How the file spells "no alarm queue position".
inline constexpr int noQueuePositionInFile = 999;

enum class KeyRole {
    Setting,   // edited in the Setup dialog
    State,     // run-time state of the main window
    WriteOnly, // written on every save, never read
};

// A named choice (an enum) kept in the file as the line of its list, -1 for none.
struct ChoiceLine {
    std::function<int(Settings&)> get;
    std::function<void(Settings&, int)> set;
};

// One option of a named choice kept in the file as a flag of its own, 1 while the option is chosen. The
// flags of one choice are consecutive keys of the schema, never next to another choice's.
struct OptionFlag {
    std::function<bool(Settings&)> isChosen;
    // Chooses the option, or with false, leaves the choice with none.
    std::function<void(Settings&, bool)> choose;
};

using FieldRef = std::variant<std::monostate, std::function<bool&(Settings&)>, std::function<int&(Settings&)>,
                              std::function<std::string&(Settings&)>, std::function<TimeOfDay&(Settings&)>,
                              std::function<DateTime&(Settings&)>,
                              std::function<std::optional<int>&(Settings&)>, ChoiceLine, OptionFlag>;

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
