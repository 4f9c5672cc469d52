#include "config/taskkinds/RebootSettings.h"

#include "config/SchemaBuilder.h"

namespace quietmon {

template <> std::any defaultSettingsOf<TaskKind::RebootSystem>(QueueKind, const std::string&) {
    return RebootSettings{};
}

template <> void addKeysOf<TaskKind::RebootSystem>(SchemaBuilder& b) {
    const auto reboot = settingsOfKind<TaskKind::RebootSystem>(QueueKind::Alarm);
    b.section("Reboot")
        // The monitor's own mark that it closed for a reboot, kept beside the task's settings.
        .boolean(
            "Reboot", [](Settings & s) -> auto& { return s.state.rebooting; }, KeyRole::State)
        .optionFlag<RebootKind>(
            "DoReboot", [reboot](Settings & s) -> auto& { return reboot(s).kind; }, RebootKind::Reboot)
        .optionFlag<RebootKind>(
            "DoShutdown", [reboot](Settings & s) -> auto& { return reboot(s).kind; }, RebootKind::Shutdown);
}

} // namespace quietmon
