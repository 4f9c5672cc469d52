#include "status/HistoryPage.h"

#include "monitor/AlarmHistory.h"
#include "monitor/LevelHistoryFile.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace quietmon {
namespace {

std::string localMoment(std::int64_t second) {
    std::string text = DateTime::fromMilliseconds(second * 1000).formatDateTime();
    text[10] = 'T';
    return text;
}

std::string localMoment(DateTime moment) {
    return localMoment(secondOf(moment));
}

} // namespace

std::optional<int> parseHistoryHours(std::string_view text) {
    if (text.empty() || text.size() > 3 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int hours = std::stoi(std::string(text));
    if (hours < 1 || hours > historyMaxHours)
        return std::nullopt;
    return hours;
}

std::optional<std::string> historyPage(const std::string& levelHistoryPath,
                                       const std::string& alarmHistoryPath, int hours, DateTime now,
                                       std::string& failure) {
    const std::int64_t last = secondOf(now);
    const std::int64_t seconds = static_cast<std::int64_t>(hours) * 3600;
    const std::int64_t first = last - seconds + 1;
    const std::optional<LevelHistorySpan> span = readLevelHistory(levelHistoryPath, first, last, failure);
    if (!span)
        return std::nullopt;
    const std::int64_t bucket = (seconds + historyPoints - 1) / historyPoints;

    nlohmann::ordered_json page;
    page["from"] = localMoment(first);
    page["to"] = localMoment(last);
    page["secondsPerPoint"] = bucket;
    page["points"] = nlohmann::ordered_json::array();
    for (std::size_t start = 0; start < span->size(); start += static_cast<std::size_t>(bucket)) {
        std::optional<LevelSecond> highest;
        const std::size_t end = std::min(span->size(), start + static_cast<std::size_t>(bucket));
        for (std::size_t index = start; index < end; ++index) {
            const std::optional<LevelSecond> level = span->at(index);
            if (!level)
                continue;
            if (!highest) {
                highest = level;
                continue;
            }
            highest->dbLeft = std::max(highest->dbLeft, level->dbLeft);
            highest->dbRight = std::max(highest->dbRight, level->dbRight);
            highest->alarmActive = highest->alarmActive || level->alarmActive;
            highest->inputLost = highest->inputLost || level->inputLost;
        }
        page["points"].push_back(highest ? nlohmann::ordered_json::array({highest->dbLeft, highest->dbRight,
                                                                          highest->alarmActive ? 1 : 0,
                                                                          highest->inputLost ? 1 : 0})
                                         : nlohmann::ordered_json(nullptr));
    }
    page["clockJumps"] = nlohmann::ordered_json::array();
    for (const ClockJump& jump : span->jumps)
        page["clockJumps"].push_back({{"at", localMoment(jump.atSecond)}, {"seconds", jump.bySeconds}});
    page["alarms"] = nlohmann::ordered_json::array();
    std::string alarmFailure;
    for (const AlarmRecord& alarm : readAlarmHistory(alarmHistoryPath, alarmFailure)) {
        if (secondOf(alarm.end.value_or(alarm.start)) < first)
            continue;
        const std::optional<std::int64_t> duration = alarm.durationSeconds();
        page["alarms"].push_back(
            {{"start", localMoment(alarm.start)},
             {"end", alarm.end ? nlohmann::ordered_json(localMoment(*alarm.end)) : nullptr},
             {"silentChannels", alarm.silentChannels},
             {"durationSeconds", duration ? nlohmann::ordered_json(*duration) : nullptr},
             {"inputLost", alarm.inputLost}});
    }
    return page.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

} // namespace quietmon
