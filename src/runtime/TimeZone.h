#pragma once

#include "runtime/DateTime.h"

namespace quietmon {

// How far the local time `local` is ahead of UTC, in minutes (negative west of Greenwich), by the
// system's time-zone rules for that moment.
int utcOffsetMinutes(DateTime local);

} // namespace quietmon
