#include "config/taskkinds/RepeatSettings.h"

#include "config/SchemaBuilder.h"

namespace quietmon {

template <> std::any defaultSettingsOf<TaskKind::Repeat>(QueueKind, const std::string&) {
    return RepeatSettings{};
}

template <> void addKeysOf<TaskKind::Repeat>(SchemaBuilder& b) {
    const auto repeat = settingsOfKind<TaskKind::Repeat>(QueueKind::Alarm);
    b.section("Repeat")
        .number(
            "FromLine", [repeat](Settings & s) -> auto& { return repeat(s).fromLine; }, 1,
            Settings::alarmQueueRows)
        .number(
            "Maximum", [repeat](Settings & s) -> auto& { return repeat(s).maximum; }, 1, 999);
}

} // namespace quietmon
