#include "config/taskkinds/DelaySettings.h"

#include "config/SchemaBuilder.h"

namespace quietmon {

template <> std::any defaultSettingsOf<TaskKind::Delay>(QueueKind, const std::string&) {
    return DelaySettings{};
}

template <> void addKeysOf<TaskKind::Delay>(SchemaBuilder& b) {
    for (const auto& [queue, section, longest] :
         {std::tuple{QueueKind::Alarm, "Delay", DelaySettings::longestAlarmSeconds},
          std::tuple{QueueKind::Return, "RetDelay", DelaySettings::longestReturnSeconds}}) {
        const auto delay = settingsOfKind<TaskKind::Delay>(queue);
        b.section(section).number(
            "Delay", [delay](Settings & s) -> auto& { return delay(s).seconds; }, 1, longest);
    }
}

} // namespace quietmon
