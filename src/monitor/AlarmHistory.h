#pragma once

#include "runtime/DateTime.h"
#include "runtime/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quietmon {

// One alarm as the history keeps it.
struct AlarmRecord {
    DateTime start;
    std::optional<DateTime> end; // none while it lasts, or when the program ended during it for good
    std::string silentChannels;
    bool inputLost = false; // the input was lost at some moment of the alarm

    std::optional<std::int64_t> durationSeconds() const;
    friend bool operator==(const AlarmRecord&, const AlarmRecord&) = default;
};

// The alarm history beside the level history: a text file that grows by one line when an alarm is raised
// ("start", the moment, the silent channels, 1 if the input was lost) and one when it returns ("end", the
// moment, 1 if the input was lost during the alarm), fields separated by tabs. Lines are only appended, so
// a crash can cost no more than a last line cut short, which the reader skips. An alarm restored after a
// restart ends with the line of its return.
//
// A station whose input flaps for months must not fill its disk with it: once the file grows past its
// size limit, the older half of it is dropped at the next alarm (whole alarms, the newest kept).
class AlarmHistoryFile {
public:
    // About 30,000 alarms.
    static constexpr std::uint64_t defaultSizeLimitBytes = 2u << 20;

    explicit AlarmHistoryFile(std::uint64_t sizeLimitBytes = defaultSizeLimitBytes)
        : m_sizeLimitBytes(sizeLimitBytes) {}
    void setPath(std::string path) { m_path = std::move(path); }
    const std::string& path() const { return m_path; }
    bool recordStart(DateTime at, const std::string& silentChannels, bool inputLost, std::string& failure);
    bool recordEnd(DateTime at, bool inputLost, std::string& failure);

private:
    bool appendLine(const std::string& line, std::string& failure);
    void dropOlderHalf();

    std::uint64_t m_sizeLimitBytes;
    std::string m_path;
};

std::vector<AlarmRecord> parseAlarmHistory(std::string_view text);
// The history in the file at `path`; empty when there is none yet. `failure` gets the reason when a file
// is there but cannot be read.
std::vector<AlarmRecord> readAlarmHistory(const std::string& path, std::string& failure);
// One line per alarm that began on `since` or later, as "start<TAB>end<TAB>silent channels<TAB>duration in
// seconds<TAB>input lost (yes or no)"; end and duration are empty while an alarm lasts.
std::string alarmHistoryTable(const std::vector<AlarmRecord>& records, std::optional<DateTime> since);

} // namespace quietmon
