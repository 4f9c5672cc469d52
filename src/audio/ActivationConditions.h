#pragma once

#include "config/Settings.h"
#include "platform/DesktopWindows.h"
#include "runtime/DateTime.h"

namespace quietmon {

// "time is (not) between T1 and T2": both ends included, no wrap past midnight.
bool timeCondition(Comparison comparison, TimeOfDay from, TimeOfDay to, int msOfDay);
// "day is (not)" one of the ticked weekdays (Monday = 1 .. Sunday = 7).
bool dayCondition(Comparison comparison, const std::array<bool, 7>& weekdays, int isoWeekday);
// The time and day lines combined by "and" or "or"; a line not in force counts as true under "and", and
// under "or" as false while the other line is in force.
bool timeAndDayCondition(const ActivationSettings& activation, DateTime now);

enum class WindowCondition { NotInForce, Met, NotMet };
// Whether the window line is ticked and has a text.
bool windowConditionInForce(const ActivationSettings& activation);
// "window title/class ... is (not) detected", in force when its line is ticked and its text not empty.
WindowCondition windowCondition(const ActivationSettings& activation, DesktopWindows& windows);

} // namespace quietmon
