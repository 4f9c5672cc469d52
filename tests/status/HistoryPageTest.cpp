// /history's JSON from real history files.
#include "status/HistoryPage.h"

#include "monitor/AlarmHistory.h"
#include "monitor/LevelHistoryFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quietmon {
namespace {

TEST(HistoryPageTest, HoursAreAWholeNumberFromOneTo744) {
    for (const char* good : {"1", "24", "744"})
        EXPECT_TRUE(parseHistoryHours(good)) << good;
    for (const char* bad : {"", "0", "745", "1000", "-1", "+3", "24h", " 24", "2.5", "99999999999999999999"})
        EXPECT_FALSE(parseHistoryHours(bad)) << bad;
}

TEST(HistoryPageTest, TheLevelsComeInStretchesWithGapsJumpsAndTheAlarms) {
    test::TempFolder folder;
    const std::string levels = folder.file("levels.bin");
    const std::string alarms = folder.file("alarms.txt");
    const DateTime now = DateTime::fromParts(2026, 3, 14, 12, 0, 0);
    const std::int64_t last = secondOf(now);
    LevelHistoryFile ring;
    ASSERT_TRUE(ring.open(levels, now, [](const std::string&) {}));
    std::string failure;
    const auto record = [&ring, &failure](const LevelSecond& second) {
        ring.add(second);
        if (ring.pendingCount() == 100)
            EXPECT_TRUE(ring.write(failure)) << failure; // as the minute's writes do
    };
    // The last hour: sound, a silent alarm with the input lost, the clock back a minute.
    for (std::int64_t second = last - 3599; second <= last - 1000; ++second) {
        const bool alarm = second > last - 2000;
        record(
            {second, alarm ? -96 : -6 - static_cast<int>(second % 3), -8, alarm, alarm && second % 2 == 0});
    }
    for (std::int64_t second = last - 1060; second <= last; ++second)
        record({second, -20, -20, false, false});
    ASSERT_TRUE(ring.write(failure)) << failure;
    AlarmHistoryFile history;
    history.setPath(alarms);
    ASSERT_TRUE(history.recordStart(DateTime::fromParts(2026, 3, 14, 11, 26, 40), "Left", true, failure));
    ASSERT_TRUE(history.recordEnd(DateTime::fromParts(2026, 3, 14, 11, 43, 20), true, failure));

    const std::optional<std::string> page = historyPage(levels, alarms, 1, now, failure);
    ASSERT_TRUE(page) << failure;
    const nlohmann::json json = nlohmann::json::parse(*page);
    EXPECT_EQ(json["from"], "2026-03-14T11:00:01");
    EXPECT_EQ(json["to"], "2026-03-14T12:00:00");
    EXPECT_EQ(json["secondsPerPoint"], 5);
    ASSERT_EQ(json["points"].size(), 720u);
    EXPECT_EQ(json["points"][0], nlohmann::json::parse("[-6,-8,0,0]"));
    EXPECT_EQ(json["points"][400], nlohmann::json::parse("[-96,-8,1,1]"));
    EXPECT_EQ(json["points"][719], nlohmann::json::parse("[-20,-20,0,0]"));
    EXPECT_EQ(json["clockJumps"], nlohmann::json::parse(R"([{"at":"2026-03-14T11:43:20","seconds":-61}])"));
    EXPECT_EQ(json["alarms"],
              nlohmann::json::parse(R"([{"start":"2026-03-14T11:26:40","end":"2026-03-14T11:43:20",
        "silentChannels":"Left","durationSeconds":1000,"inputLost":true}])"));

    EXPECT_FALSE(historyPage(folder.file("none.bin"), alarms, 1, now, failure));
    EXPECT_EQ(failure, "No such file or directory");
}

} // namespace
} // namespace quietmon
