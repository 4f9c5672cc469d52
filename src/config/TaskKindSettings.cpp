#include "config/TaskKindSettings.h"

#include <utility>

namespace quietmon {

namespace {

using MakeDefaults = std::any (*)(QueueKind, const std::string&);

template <std::size_t... index>
constexpr std::array<MakeDefaults, sizeof...(index)> defaultMakersOf(std::index_sequence<index...>) {
    return {&defaultSettingsOf<taskKinds[index].kind>...};
}
constexpr auto defaultMakers = defaultMakersOf(std::make_index_sequence<taskKinds.size()>{});

} // namespace

TaskKindSettingsTable defaultTaskKindSettings(QueueKind queue, const std::string& productName) {
    TaskKindSettingsTable table;
    for (std::size_t index = 0; index < taskKinds.size(); ++index) {
        if (runsIn(taskKinds[index].kind, queue))
            table[index] = defaultMakers[index](queue, productName);
    }
    return table;
}

} // namespace quietmon
