#include "audio/ActivationConditions.h"

namespace quietmon {

namespace {
// A list left without a selected line counts as its first line.
template <typename Choice> Choice chosenOrFirst(std::optional<Choice> choice) {
    return choice.value_or(Choice{});
}

bool compared(Comparison comparison, bool holds) {
    return comparison == Comparison::IsNot ? !holds : holds;
}
} // namespace

bool timeCondition(Comparison comparison, TimeOfDay from, TimeOfDay to, int msOfDay) {
    return compared(comparison, from.milliseconds() <= msOfDay && msOfDay <= to.milliseconds());
}

bool dayCondition(Comparison comparison, const std::array<bool, 7>& weekdays, int isoWeekday) {
    return compared(comparison, weekdays[static_cast<std::size_t>(isoWeekday - 1)]);
}

bool timeAndDayCondition(const ActivationSettings& activation, DateTime now) {
    // Both are evaluated in full; neither has side effects.
    const bool time = timeCondition(chosenOrFirst(activation.timeComparison), activation.timeFrom,
                                    activation.timeTo, now.msOfDay());
    const bool day =
        dayCondition(chosenOrFirst(activation.dayComparison), activation.weekdays, now.isoWeekday());
    const bool timeInForce = activation.timeConditionOn;
    const bool dayInForce = activation.weekdayConditionOn;
    if (timeInForce && dayInForce)
        return chosenOrFirst(activation.timeAndDayCombination) == Combination::Or ? (time || day)
                                                                                  : (time && day);
    if (timeInForce)
        return time;
    if (dayInForce)
        return day;
    return true;
}

bool windowConditionInForce(const ActivationSettings& activation) {
    return activation.windowConditionOn && !activation.window.empty();
}

WindowCondition windowCondition(const ActivationSettings& activation, DesktopWindows& windows) {
    if (!windowConditionInForce(activation))
        return WindowCondition::NotInForce;
    const bool byClass = chosenOrFirst(activation.windowMatch) == WindowMatch::ByClass;
    const bool found = windows.findWindow(activation.window, byClass).has_value();
    const bool met = compared(chosenOrFirst(activation.windowComparison), found);
    return met ? WindowCondition::Met : WindowCondition::NotMet;
}

} // namespace quietmon
