#include "config/SettingsSchema.h"

#include "config/SchemaBuilder.h"

#include <array>
#include <utility>

namespace quietmon {

namespace {

using AddKeys = void (*)(SchemaBuilder&);

// The keys of each kind of the table, in the table's order.
template <std::size_t... index>
constexpr std::array<AddKeys, sizeof...(index)> kindKeysOf(std::index_sequence<index...>) {
    return {&addKeysOf<taskKinds[index].kind>...};
}
constexpr auto kindKeys = kindKeysOf(std::make_index_sequence<taskKinds.size()>{});

void addQueueRows(SchemaBuilder& b, const char* section, QueueKind queue, int rowCount) {
    b.section(section);
    for (int row = 0; row < rowCount; ++row)
        b.text(
            "Task" + std::to_string(row + 1), [ queue, row ](Settings & s) -> auto& {
                return s.queue(queue).rows[static_cast<std::size_t>(row)];
            });
}

std::vector<KeySpec> buildSchema() {
    std::vector<KeySpec> keys;
    SchemaBuilder b(keys);
    constexpr auto state = KeyRole::State;

    // A save writes each section whole where it first appears: the general keys first, then the
    // activation, each task kind's sections in its settings place, and the two queues' rows.
    b.section("General")
        .integer("Top", [](Settings& s) -> auto& {
        return s.state.top; }, state)
        .integer("Left", [](Settings& s) -> auto& {
        return s.state.left; }, state)
        .boolean("Visible", [](Settings& s) -> auto& {
        return s.state.visible; }, state)
        .number("Threshold", [](Settings& s) -> auto& {
        return s.state.threshold; }, 0, 96, state)
        .text("Title", [](Settings& s) -> auto& {
        return s.general.title; })
        .text("LeftName", [](Settings& s) -> auto& {
        return s.general.leftName; })
        .text("RightName", [](Settings& s) -> auto& {
        return s.general.rightName; })
        .boolean("Alarm", [](Settings& s) -> auto& {
        return s.state.alarmActive; }, state)
        .saveTime("DateTime")
        .add({"General", "LastTask", ValueType::Integer, state,
              [](Settings& s) -> auto& { return s.state.lastTask;
}
, LoadRule::QueuePosition, 1, Settings::alarmQueueRows
} // namespace
)
        .number("Repeats", [](Settings& s) -> auto& {
    return s.state.repeatCount; }, 0, noRepeatsLeft, state)
        .boolean("IdlePriority", [](Settings& s) -> auto& {
    return s.general.idlePriority; })
        .boolean("UseSystemFont", [](Settings& s) -> auto& {
    return s.general.useSystemFont; })
        .boolean("AlwaysOnTop", [](Settings& s) -> auto& {
    return s.general.alwaysOnTop; })
        .boolean("LockTrackbar", [](Settings& s) -> auto& {
    return s.general.lockTrackbar; })
        .boolean("LogEvents", [](Settings& s) -> auto& {
    return s.general.logEvents; })
        .boolean("DCFilter", [](Settings& s) -> auto& {
    return s.general.dcFilter; })
        .boolean("InternalPlayer", [](Settings& s) -> auto& {
    return s.general.internalPlayer; })
        .boolean("StopPlayer", [](Settings& s) -> auto& {
    return s.general.stopPlayer; })
        .number("StartUpDelay", [](Settings& s) -> auto& {
    return s.general.startUpDelay; }, 0, 3600)
        .number("PeakHoldTime", [](Settings& s) -> auto& {
    return s.general.peakHoldTime; }, 100, 10000)
        .number("MinThreshold", [](Settings& s) -> auto& {
    return s.general.minThreshold; }, -96, -6)
        .integer("AudioInDevice", [](Settings& s) -> auto& {
    return s.general.audioInDevice; })
        .text("AudioInDeviceName", [](Settings& s) -> auto& {
    return s.general.audioInDeviceName; })
        .choice<StartUpStatus>("StartUpStatus", [](Settings& s) -> auto& {
    return s.general.startUpStatus; }, 3)
        .scrambled("SetupPassword", [](Settings& s) -> auto& {
    return s.general.setupPassword; })
        .text("StatusAddress", [](Settings& s) -> auto& {
    return s.general.statusAddress; })
        .text("StatusToken", [](Settings& s) -> auto& {
    return s.general.statusToken; })
        .text("StreamAddress", [](Settings& s) -> auto& {
    return s.general.streamAddress; })
        .moment("LastSilence", [](Settings& s) -> auto& {
    return s.state.lastSilence; }, state);

b.section("Activation")
    .boolean(
        "Condition2", [](Settings& s) -> auto& { return s.activation.weekdayConditionOn; })
    .boolean(
        "Condition3", [](Settings& s) -> auto& { return s.activation.timeConditionOn; })
    .boolean(
        "Condition4", [](Settings& s) -> auto& { return s.activation.windowConditionOn; })
    .boolean(
        "BreakQueue", [](Settings& s) -> auto& { return s.activation.breakQueue; })
    .choice<ChannelRule>(
        "Channels", [](Settings& s) -> auto& { return s.activation.channels; }, 4);
static const char* const weekdays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                       "Friday", "Saturday", "Sunday"};
for (int day = 0; day < 7; ++day)
    b.boolean(
        weekdays[day], [day](Settings& s) -> auto& { return s.activation.weekdays[day]; });
b.number(
     "Silence", [](Settings& s) -> auto& { return s.activation.silenceSeconds; }, 1, 3600)
    .number(
        "Return", [](Settings& s) -> auto& { return s.activation.returnSeconds; }, 0, 3600)
    .choice<Comparison>(
        "TimeOperator", [](Settings& s) -> auto& { return s.activation.timeComparison; }, 2)
    .choice<Comparison>(
        "DayOperator", [](Settings& s) -> auto& { return s.activation.dayComparison; }, 2)
    .choice<Comparison>(
        "WindowOperator", [](Settings& s) -> auto& { return s.activation.windowComparison; }, 2)
    .choice<Combination>(
        "AlarmOperator", [](Settings& s) -> auto& { return s.activation.timeAndDayCombination; }, 2)
    .choice<WindowMatch>(
        "TitleClass", [](Settings& s) -> auto& { return s.activation.windowMatch; }, 2)
    .time(
        "Time1", [](Settings& s) -> auto& { return s.activation.timeFrom; })
    .time(
        "Time2", [](Settings& s) -> auto& { return s.activation.timeTo; })
    .text(
        "Window", [](Settings& s) -> auto& { return s.activation.window; });

for (const TaskKind kind : taskKindsInSettingsOrder())
    kindKeys[static_cast<std::size_t>(kind)](b);

addQueueRows(b, "Tasks", QueueKind::Alarm, Settings::alarmQueueRows);
addQueueRows(b, "RetTasks", QueueKind::Return, Settings::returnQueueRows);
return keys;
} // namespace quietmon

} // namespace

const std::vector<KeySpec>& settingsSchema() {
    static const std::vector<KeySpec> schema = buildSchema();
    return schema;
}

} // namespace quietmon
