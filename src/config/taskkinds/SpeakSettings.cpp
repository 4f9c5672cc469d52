#include "config/taskkinds/SpeakSettings.h"

#include "config/SchemaBuilder.h"

namespace quietmon {

template <> std::any defaultSettingsOf<TaskKind::Speak>(QueueKind, const std::string&) {
    return SpeakSettings{};
}

template <> void addKeysOf<TaskKind::Speak>(SchemaBuilder& b) {
    const auto speak = settingsOfKind<TaskKind::Speak>(QueueKind::Alarm);
    b.section("Speak").text(
        "Text", [speak](Settings & s) -> auto& { return speak(s).text; });
}

} // namespace quietmon
