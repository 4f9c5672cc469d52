#include "monitor/AlarmHistory.h"

#include "config/IniValues.h"

#include <algorithm>

namespace quietmon {
namespace {

// Larger than decades of alarms; a file beyond it is read from its start only.
constexpr std::size_t readLimitBytes = 64u << 20;

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(
            line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

std::string oneField(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return text;
}

} // namespace

std::optional<std::int64_t> AlarmRecord::durationSeconds() const {
    if (!end)
        return std::nullopt;
    return *end < start ? 0 : secondsBetween(start, *end);
}

bool AlarmHistoryFile::recordStart(DateTime at, const std::string& silentChannels, bool inputLost,
                                   std::string& failure) {
    dropOlderHalf();
    return appendLine("start\t" + at.formatDateTime() + "\t" + oneField(silentChannels) + "\t" +
                          (inputLost ? "1" : "0") + "\n",
                      failure);
}

bool AlarmHistoryFile::recordEnd(DateTime at, bool inputLost, std::string& failure) {
    return appendLine("end\t" + at.formatDateTime() + "\t" + (inputLost ? "1" : "0") + "\n", failure);
}

bool AlarmHistoryFile::appendLine(const std::string& line, std::string& failure) {
    AppendOnlyFile file;
    if (!file.open(m_path) || !file.append(line)) {
        failure = "cannot write " + m_path;
        return false;
    }
    return file.close();
}

void AlarmHistoryFile::dropOlderHalf() {
    bool found = false;
    const std::string text = readFileContents(m_path, readLimitBytes, &found);
    if (!found || text.size() <= m_sizeLimitBytes)
        return;
    // From the first alarm that starts in the newer half, so that no alarm loses its start.
    const std::size_t kept = text.find("\nstart\t", text.size() / 2);
    if (kept != std::string::npos)
        writeFileAtomically(m_path, std::string_view(text).substr(kept + 1)); // else it grows on for now
}

std::vector<AlarmRecord> parseAlarmHistory(std::string_view text) {
    std::vector<AlarmRecord> records;
    bool open = false; // the last record still waits for its end
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t newline = text.find('\n', start);
        if (newline == std::string_view::npos)
            break; // a line cut short by a crash
        const std::vector<std::string_view> fields = splitFields(text.substr(start, newline - start));
        start = newline + 1;
        if (fields.size() < 3)
            continue;
        const std::optional<DateTime> at = parseIniDateTime(fields[1]);
        if (!at)
            continue;
        if (fields[0] == "start" && fields.size() == 4) {
            records.push_back({*at, std::nullopt, std::string(fields[2]), fields[3] == "1"});
            open = true;
        } else if (fields[0] == "end" && open) {
            records.back().end = *at;
            records.back().inputLost = records.back().inputLost || fields[2] == "1";
            open = false;
        }
    }
    return records;
}

std::vector<AlarmRecord> readAlarmHistory(const std::string& path, std::string& failure) {
    if (!fileExists(path))
        return {};
    const std::string text = readFileContents(path, readLimitBytes, failure);
    return failure.empty() ? parseAlarmHistory(text) : std::vector<AlarmRecord>{};
}

std::string alarmHistoryTable(const std::vector<AlarmRecord>& records, std::optional<DateTime> since) {
    std::string table;
    for (const AlarmRecord& record : records) {
        if (since && record.start < *since)
            continue;
        const std::optional<std::int64_t> duration = record.durationSeconds();
        table += record.start.formatDateTime() + "\t" + (record.end ? record.end->formatDateTime() : "") +
                 "\t" + record.silentChannels + "\t" + (duration ? std::to_string(*duration) : "") + "\t" +
                 (record.inputLost ? "yes" : "no") + "\n";
    }
    return table;
}

} // namespace quietmon
