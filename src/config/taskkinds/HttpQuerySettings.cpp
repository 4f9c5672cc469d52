#include "config/taskkinds/HttpQuerySettings.h"

#include "config/SchemaBuilder.h"

namespace quietmon {

template <> std::any defaultSettingsOf<TaskKind::SendHttpQuery>(QueueKind, const std::string&) {
    return QuerySettings{};
}

template <> void addKeysOf<TaskKind::SendHttpQuery>(SchemaBuilder& b) {
    for (const auto& [queue, section] :
         {std::pair{QueueKind::Alarm, "Query"}, std::pair{QueueKind::Return, "RetQuery"}}) {
        const auto query = settingsOfKind<TaskKind::SendHttpQuery>(queue);
        b.section(section)
            .text(
                "Address", [query](Settings & s) -> auto& { return query(s).address; })
            .text(
                "Query", [query](Settings & s) -> auto& { return query(s).query; });
    }
}

} // namespace quietmon
