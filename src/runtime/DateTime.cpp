#include "runtime/DateTime.h"

#include <cstdio>

namespace quietmon {

namespace {

// Day 0 of the count is 1899-12-30; the civil-date conversions below count from 1970-01-01.
constexpr std::int64_t zeroDateToUnixEpochDays = 25569;

// Howard Hinnant's days_from_civil / civil_from_days, exact for the proleptic Gregorian calendar.
std::int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy =
        (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

std::string formatted(const char* format, int a, int b, int c = 0) {
    char text[32];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

} // namespace

DateTime DateTime::fromParts(int year, int month, int day, int hour, int minute, int second,
                             int millisecond) {
    const std::int64_t days = daysFromCivil(year, month, day) + zeroDateToUnixEpochDays;
    const std::int64_t timeMs =
        ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
    return DateTime(days * msPerDay + timeMs);
}

DateTime::Civil DateTime::civil() const {
    const std::int64_t z = floorDiv(m_ms, msPerDay) - zeroDateToUnixEpochDays + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const auto y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0));
    return {y, static_cast<int>(m), static_cast<int>(d)};
}

int DateTime::year() const {
    return civil().year;
}
int DateTime::month() const {
    return civil().month;
}
int DateTime::day() const {
    return civil().day;
}
int DateTime::msOfDay() const {
    return static_cast<int>(m_ms - floorDiv(m_ms, msPerDay) * msPerDay);
}
int DateTime::hour() const {
    return msOfDay() / 3'600'000;
}
int DateTime::minute() const {
    return msOfDay() / 60'000 % 60;
}
int DateTime::second() const {
    return msOfDay() / 1000 % 60;
}
int DateTime::millisecond() const {
    return msOfDay() % 1000;
}

int DateTime::isoWeekday() const {
    // 1899-12-30 was a Saturday (6).
    const std::int64_t days = floorDiv(m_ms, msPerDay);
    return static_cast<int>(((days + 5) % 7 + 7) % 7) + 1;
}

std::string DateTime::formatIsoDate() const {
    const Civil c = civil();
    return formatted("%04d-%02d-%02d", c.year, c.month, c.day);
}

std::string DateTime::formatTime() const {
    return formatted("%02d:%02d:%02d", hour(), minute(), second());
}

std::string DateTime::formatDayMonthYear() const {
    const Civil c = civil();
    return formatted("%d.%02d.%04d", c.day, c.month, c.year);
}

std::string DateTime::formatDayMonth() const {
    const Civil c = civil();
    return formatted("%d.%02d", c.day, c.month);
}

std::string DateTime::formatShortTime() const {
    return formatted("%d:%02d", hour(), minute());
}

std::string DateTime::formatDateTime() const {
    return formatIsoDate() + " " + formatTime();
}

std::int64_t millisecondsBetween(DateTime a, DateTime b) {
    const std::int64_t diff = a.milliseconds() - b.milliseconds();
    return diff < 0 ? -diff : diff;
}

std::int64_t secondsBetween(DateTime a, DateTime b) {
    return millisecondsBetween(a, b) / DateTime::msPerSecond;
}

std::string TimeOfDay::format() const {
    const int seconds = m_ms / 1000;
    return formatted("%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

} // namespace quietmon
