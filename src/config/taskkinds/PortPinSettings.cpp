#include "config/taskkinds/PortPinSettings.h"

#include "config/SchemaBuilder.h"

namespace quietmon {

template <> std::any defaultSettingsOf<TaskKind::SwitchPortPin>(QueueKind, const std::string&) {
    return PortSettings{};
}

template <> void addKeysOf<TaskKind::SwitchPortPin>(SchemaBuilder& b) {
    const auto port = settingsOfKind<TaskKind::SwitchPortPin>(QueueKind::Alarm);
    b.section("Port")
        .list(
            "COMPort", [port](Settings & s) -> auto& { return port(s).portLine; }, 255)
        .choice<SerialPin>(
            "Pin", [port](Settings & s) -> auto& { return port(s).pin; }, 2)
        .number(
            "For", [port](Settings & s) -> auto& { return port(s).forSeconds; }, 1, 10)
        .optionFlag<PinHold>(
            "Limited", [port](Settings & s) -> auto& { return port(s).hold; }, PinHold::ForSeconds)
        .optionFlag<PinHold>(
            "Full", [port](Settings & s) -> auto& { return port(s).hold; }, PinHold::UntilReturn)
        .optionFlag<PinHold>(
            "Forever", [port](Settings & s) -> auto& { return port(s).hold; }, PinHold::Forever)
        .text(
            "Device", [port](Settings & s) -> auto& { return port(s).device; });
}

} // namespace quietmon
