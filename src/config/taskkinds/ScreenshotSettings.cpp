#include "config/taskkinds/ScreenshotSettings.h"

#include "config/SchemaBuilder.h"

namespace quietmon {

template <> std::any defaultSettingsOf<TaskKind::SaveScreenshot>(QueueKind, const std::string&) {
    return ScreenshotSettings{};
}

template <> void addKeysOf<TaskKind::SaveScreenshot>(SchemaBuilder& b) {
    for (const auto& [queue, section] :
         {std::pair{QueueKind::Alarm, "Screenshot"}, std::pair{QueueKind::Return, "RetScreenshot"}}) {
        const auto shot = settingsOfKind<TaskKind::SaveScreenshot>(queue);
        b.section(section)
            .text(
                "File", [shot](Settings & s) -> auto& { return shot(s).file; })
            .boolean(
                "DeactivateScrSaver", [shot](Settings & s) -> auto& {
                    return shot(s).deactivateScreenSaver;
                });
    }
}

} // namespace quietmon
