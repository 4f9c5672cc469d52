#include "runtime/TimeZone.h"

#include <ctime>

namespace quietmon {

int utcOffsetMinutes(DateTime local) {
    std::tm parts{};
    parts.tm_year = local.year() - 1900;
    parts.tm_mon = local.month() - 1;
    parts.tm_mday = local.day();
    parts.tm_hour = local.hour();
    parts.tm_min = local.minute();
    parts.tm_sec = local.second();
    parts.tm_isdst = -1; // the rules decide whether summer time applies then
    const std::time_t moment = std::mktime(&parts);
    if (moment == static_cast<std::time_t>(-1))
        return 0;
    std::tm resolved{};
    if (!::localtime_r(&moment, &resolved))
        return 0;
    return static_cast<int>(resolved.tm_gmtoff / 60);
}

} // namespace quietmon
