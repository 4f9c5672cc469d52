#include "config/taskkinds/KillSettings.h"

#include "config/SchemaBuilder.h"

namespace quietmon {

template <> std::any defaultSettingsOf<TaskKind::KillApplication>(QueueKind, const std::string&) {
    return KillSettings{};
}

template <> void addKeysOf<TaskKind::KillApplication>(SchemaBuilder& b) {
    for (const auto& [queue, section] :
         {std::pair{QueueKind::Alarm, "Kill"}, std::pair{QueueKind::Return, "RetKill"}}) {
        const auto kill = settingsOfKind<TaskKind::KillApplication>(queue);
        b.section(section);
        for (std::size_t index = 0; index < KillSettings{}.applications.size(); ++index) {
            const std::string number = std::to_string(index + 1);
            b.text(
                 "Title" + number,
                 [ kill, index ](Settings & s) -> auto& { return kill(s).applications[index].title; })
                .text(
                    "Class" + number, [ kill, index ](Settings & s) -> auto& {
                        return kill(s).applications[index].windowClass;
                    });
        }
    }
}

} // namespace quietmon
