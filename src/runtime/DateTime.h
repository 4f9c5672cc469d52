#pragma once

#include <cstdint>
#include <string>

namespace quietmon {

// A local date and time with millisecond resolution, counted from the zero date 1899-12-30 00:00:00.
// Whole milliseconds keep comparisons and differences exact; `days()` gives the fractional-day view
// for the places that compute with it.
class DateTime {
public:
    static constexpr std::int64_t msPerSecond = 1000;
    static constexpr std::int64_t msPerDay = 86'400'000;

    constexpr DateTime() = default;
    static constexpr DateTime fromMilliseconds(std::int64_t ms) { return DateTime(ms); }
    // Out-of-range parts are not checked; callers pass a real calendar date and time.
    static DateTime fromParts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                              int millisecond = 0);

    constexpr std::int64_t milliseconds() const { return m_ms; }
    double days() const { return static_cast<double>(m_ms) / msPerDay; }
    constexpr bool isZero() const { return m_ms == 0; }

    int year() const;
    int month() const;
    int day() const;
    int hour() const;
    int minute() const;
    int second() const;
    int millisecond() const;
    // Milliseconds since midnight.
    int msOfDay() const;
    // Monday = 1 .. Sunday = 7.
    int isoWeekday() const;

    constexpr DateTime addMilliseconds(std::int64_t ms) const { return DateTime(m_ms + ms); }

    // "yyyy-mm-dd", "hh:nn:ss", "d.mm.yyyy", "d.mm", "h:nn".
    std::string formatIsoDate() const;
    std::string formatTime() const;
    std::string formatDayMonthYear() const;
    std::string formatDayMonth() const;
    std::string formatShortTime() const;
    // "yyyy-mm-dd hh:nn:ss", the form of stored date-times and of log stamps.
    std::string formatDateTime() const;

    friend constexpr auto operator<=>(DateTime, DateTime) = default;

private:
    constexpr explicit DateTime(std::int64_t ms) : m_ms(ms) {}
    struct Civil {
        int year, month, day;
    };
    Civil civil() const;

    std::int64_t m_ms = 0;
};

// Whole seconds between two moments, in either order, the fraction cut off.
std::int64_t secondsBetween(DateTime a, DateTime b);
// Whole milliseconds between two moments, in either order.
std::int64_t millisecondsBetween(DateTime a, DateTime b);

// A time of day with millisecond resolution, as held by time settings.
class TimeOfDay {
public:
    constexpr TimeOfDay() = default;
    static constexpr TimeOfDay fromMilliseconds(int ms) { return TimeOfDay(ms); }
    static constexpr TimeOfDay fromParts(int hour, int minute, int second = 0, int millisecond = 0) {
        return TimeOfDay(((hour * 60 + minute) * 60 + second) * 1000 + millisecond);
    }
    constexpr int milliseconds() const { return m_ms; }
    // "hh:nn:ss"; milliseconds are not shown.
    std::string format() const;

    friend constexpr auto operator<=>(TimeOfDay, TimeOfDay) = default;

private:
    constexpr explicit TimeOfDay(int ms) : m_ms(ms) {}
    int m_ms = 0;
};

} // namespace quietmon
