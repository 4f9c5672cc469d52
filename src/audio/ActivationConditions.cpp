#include "audio/ActivationConditions.h"

namespace quietmon {

namespace {
// A list left without a selected line counts as its first line.
constexpr int isNot = 1;
constexpr int orOperator = 1;
constexpr int byClass = 1;
} // namespace

bool timeCondition(int timeOperator, TimeOfDay from, TimeOfDay to, int msOfDay) {
    const bool within = from.milliseconds() <= msOfDay && msOfDay <= to.milliseconds();
    return timeOperator == isNot ? !within : within;
}

bool dayCondition(int dayOperator, const std::array<bool, 7>& weekdays, int isoWeekday) {
    const bool ticked = weekdays[static_cast<std::size_t>(isoWeekday - 1)];
    return dayOperator == isNot ? !ticked : ticked;
}

bool timeAndDayCondition(const ActivationSettings& activation, DateTime now) {
    // Both are evaluated in full; neither has side effects.
    const bool time =
        timeCondition(activation.timeOperator, activation.time1, activation.time2, now.msOfDay());
    const bool day = dayCondition(activation.dayOperator, activation.weekdays, now.isoWeekday());
    const bool timeInForce = activation.condition3;
    const bool dayInForce = activation.condition2;
    if (timeInForce && dayInForce)
        return activation.alarmOperator == orOperator ? (time || day) : (time && day);
    if (timeInForce)
        return time;
    if (dayInForce)
        return day;
    return true;
}

bool windowConditionInForce(const ActivationSettings& activation) {
    return activation.condition4 && !activation.window.empty();
}

WindowCondition windowCondition(const ActivationSettings& activation, DesktopWindows& windows) {
    if (!windowConditionInForce(activation))
        return WindowCondition::NotInForce;
    const bool found = windows.findWindow(activation.window, activation.titleClass == byClass).has_value();
    const bool met = activation.windowOperator == isNot ? !found : found;
    return met ? WindowCondition::Met : WindowCondition::NotMet;
}

} // namespace quietmon
