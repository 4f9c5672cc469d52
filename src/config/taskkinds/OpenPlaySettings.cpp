#include "config/taskkinds/OpenPlaySettings.h"

#include "config/SchemaBuilder.h"

namespace quietmon {

namespace {

template <TaskKind kind> void addOpenKeys(SchemaBuilder& b, const char* section, QueueKind queue) {
    const auto open = settingsOfKind<kind>(queue);
    b.section(section);
    for (std::size_t i = 0; i < 3; ++i)
        b.text(
            "File" + std::to_string(i + 1), [ open, i ](Settings & s) -> auto& { return open(s).files[i]; });
    for (std::size_t i = 0; i < 3; ++i)
        b.text(
            "Params" + std::to_string(i + 1),
            [ open, i ](Settings & s) -> auto& { return open(s).params[i]; });
}

} // namespace

template <> std::any defaultSettingsOf<TaskKind::OpenPlay1>(QueueKind, const std::string&) {
    return OpenSettings{};
}
template <> std::any defaultSettingsOf<TaskKind::OpenPlay2>(QueueKind, const std::string&) {
    return OpenSettings{};
}
template <> std::any defaultSettingsOf<TaskKind::OpenPlay>(QueueKind, const std::string&) {
    return OpenSettings{};
}

template <> void addKeysOf<TaskKind::OpenPlay1>(SchemaBuilder& b) {
    addOpenKeys<TaskKind::OpenPlay1>(b, "Open1", QueueKind::Alarm);
}
template <> void addKeysOf<TaskKind::OpenPlay2>(SchemaBuilder& b) {
    addOpenKeys<TaskKind::OpenPlay2>(b, "Open2", QueueKind::Alarm);
}
template <> void addKeysOf<TaskKind::OpenPlay>(SchemaBuilder& b) {
    addOpenKeys<TaskKind::OpenPlay>(b, "RetOpen", QueueKind::Return);
}

} // namespace quietmon
