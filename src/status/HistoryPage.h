#pragma once

#include "runtime/DateTime.h"

#include <optional>
#include <string>
#include <string_view>

namespace quietmon {

// /history?hours=N as JSON: the level history of the last N hours (1 to 744, 31 days) in at most
// `historyPoints` points, each the highest levels of its stretch of seconds with whether an alarm or an
// input loss was in it (null where nothing was recorded), the clock's jumps in that time, and the alarms.
constexpr int historyMaxHours = 744;
constexpr int historyPoints = 720;

// The hours asked for: a whole number from 1 to 744 written plainly, nothing for anything else.
std::optional<int> parseHistoryHours(std::string_view text);

// Nothing, with the reason in `failure`, when the level history cannot be read.
std::optional<std::string> historyPage(const std::string& levelHistoryPath,
                                       const std::string& alarmHistoryPath, int hours, DateTime now,
                                       std::string& failure);

} // namespace quietmon
