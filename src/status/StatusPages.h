#pragma once

#include "monitor/StatusSnapshot.h"

#include <string>

namespace quietmon {

// The two pages of the status endpoint, made from one snapshot at the moment `now` (local time), which
// counts the seconds since the last sound even while the logic thread is blocked and publishes nothing.

// /metrics, in Prometheus' text format.
std::string metricsPage(const StatusSnapshot& snapshot, DateTime now);
// /status, as JSON: the same, with the status line, "Last silence" (as shown, and as an ISO 8601 moment
// with its UTC offset, null before the first alarm) and the channel names. Texts that are not UTF-8 (the
// settings file is 8-bit) are carried with their odd bytes replaced.
std::string statusPage(const StatusSnapshot& snapshot, DateTime now);

} // namespace quietmon
