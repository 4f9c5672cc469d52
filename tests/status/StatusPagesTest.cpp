// The moment of the last silence on both pages: ISO 8601 with the UTC offset of that moment in /status,
// seconds since 1970 in /metrics, nothing before the first alarm.
#include "status/StatusPages.h"

#include "support/EnvironmentOverride.h"

#include <gtest/gtest.h>
#include <optional>

namespace quietmon {
namespace {

const DateTime now = DateTime::fromParts(2026, 12, 9, 12, 0, 0);

// The value of a metric whose only label is the unnamed monitor's, if the page has it.
std::optional<double> metricValue(const std::string& page, const std::string& name) {
    const std::string series = "\n" + name + "{monitor=\"default\"} ";
    const std::size_t at = page.find(series);
    if (at == std::string::npos)
        return std::nullopt;
    return std::stod(page.substr(at + series.size()));
}

TEST(StatusPages, TheLastSilenceIsAMomentWithItsUtcOffset) {
    struct Case {
        const char* zone; // POSIX rules, so that no time-zone database is needed
        DateTime lastSilence;
        const char* iso;
        double unixSeconds;
    };
    const char* const centralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";
    const Case cases[] = {
        {centralEurope, DateTime::fromParts(2026, 12, 8, 3, 5, 9), "2026-12-08T03:05:09+01:00", 1796695509},
        {centralEurope, DateTime::fromParts(2026, 7, 1, 12, 0, 0), "2026-07-01T12:00:00+02:00", 1782900000},
        {"<-0330>3:30", DateTime::fromParts(2026, 12, 7, 22, 35, 9), "2026-12-07T22:35:09-03:30", 1796695509},
        {"UTC0", DateTime::fromParts(2026, 3, 14, 10, 35, 9), "2026-03-14T10:35:09+00:00", 1773484509},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.iso);
        test::EnvironmentOverride zone("TZ", c.zone);
        StatusSnapshot snapshot;
        snapshot.lastSilence = "Last silence: 8.12 3:05";
        snapshot.lastSilenceAt = c.lastSilence;
        EXPECT_NE(statusPage(snapshot, now).find(std::string("\"lastSilenceAt\":\"") + c.iso + "\""),
                  std::string::npos)
            << statusPage(snapshot, now);
        EXPECT_EQ(metricValue(metricsPage(snapshot, now), "quietmon_last_silence_timestamp_seconds"),
                  c.unixSeconds);
    }
}

TEST(StatusPages, BeforeTheFirstAlarmThereIsNoMoment) {
    const StatusSnapshot snapshot;
    EXPECT_NE(statusPage(snapshot, now).find("\"lastSilence\":\"\",\"lastSilenceAt\":null"),
              std::string::npos)
        << statusPage(snapshot, now);
    EXPECT_EQ(metricsPage(snapshot, now).find("quietmon_last_silence_timestamp_seconds"), std::string::npos);
}

TEST(StatusPages, EverySeriesNamesItsMonitorAndTheInfoGaugeDescribesIt) {
    for (const char* name : {"default", "studio-b_2"}) {
        SCOPED_TRACE(name);
        StatusSnapshot snapshot;
        snapshot.monitor = name;
        snapshot.title = "Orvane Silence Detector - studio-b_2";
        snapshot.version = "1.4.0";
        snapshot.input = "Active endpoint listening: Monitor of Studio";
        snapshot.channels[0].label = "left";
        snapshot.channels[1].label = "right";
        snapshot.taskFailures = {{"Send email", 2}};
        snapshot.lastSilenceAt = DateTime::fromParts(2026, 12, 8, 3, 5, 9);
        const std::string page = metricsPage(snapshot, now);
        const std::string label = std::string("monitor=\"") + name + "\"";
        std::size_t samples = 0;
        for (std::size_t begin = 0, end; begin < page.size(); begin = end + 1) {
            end = page.find('\n', begin);
            const std::string line = page.substr(begin, end - begin);
            if (line.empty() || line.starts_with('#'))
                continue;
            ++samples;
            EXPECT_NE(line.find(label), std::string::npos) << line;
        }
        EXPECT_EQ(samples, 14u)
            << page; // two channels of two gauges, the task, and every gauge of the monitor
        EXPECT_NE(page.find("quietmon_info{" + label +
                            ",input=\"Active endpoint listening: Monitor of Studio\",title=\"Orvane Silence "
                            "Detector - studio-b_2\",version=\"1.4.0\"} 1"),
                  std::string::npos)
            << page;
        EXPECT_TRUE(statusPage(snapshot, now).starts_with(std::string("{\"monitor\":\"") + name + "\","));
    }
}

} // namespace
} // namespace quietmon
