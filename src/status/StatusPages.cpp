#include "status/StatusPages.h"

#include "runtime/TimeZone.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <prometheus/counter.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

namespace quietmon {

namespace {

// Seconds since 1970-01-01 UTC, as Prometheus takes moments.
double unixSeconds(DateTime local) {
    const DateTime unixEpoch = DateTime::fromParts(1970, 1, 1);
    return static_cast<double>(local.milliseconds() - unixEpoch.milliseconds()) / 1000.0 -
           utcOffsetMinutes(local) * 60.0;
}

// "2026-12-08T03:05:09+01:00": the local time with its distance from UTC, so that the moment is the same
// wherever it is read.
std::string isoMoment(DateTime local) {
    const int offset = utcOffsetMinutes(local);
    const int distance = offset < 0 ? -offset : offset;
    char zone[16]; // room for any int, as GCC counts it; the offset itself takes 6
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', distance / 60, distance % 60);
    return local.formatIsoDate() + "T" + local.formatTime() + zone;
}

// Never less than 0 s, should the clock be put back.
double secondsSince(DateTime moment, DateTime now) {
    return std::max(0.0, static_cast<double>(now.milliseconds() - moment.milliseconds()) / 1000.0);
}

} // namespace

std::string metricsPage(const StatusSnapshot& snapshot, DateTime now) {
    using namespace prometheus;
    Registry registry;
    // Every series names its monitor, so that several on one computer (and one target) stay apart.
    const Labels monitor{{"monitor", snapshot.monitor}};
    auto& level = BuildGauge()
                      .Name("quietmon_level_dbfs")
                      .Help("Held level of the last measurement, in whole dBFS (-96: nothing)")
                      .Labels(monitor)
                      .Register(registry);
    auto& sinceSound = BuildGauge()
                           .Name("quietmon_seconds_since_sound")
                           .Help("Seconds since the channel was last at or above the threshold")
                           .Labels(monitor)
                           .Register(registry);
    for (const ChannelStatus& channel : snapshot.channels) {
        level.Add({{"channel", channel.label}}).Set(channel.levelDb);
        sinceSound.Add({{"channel", channel.label}}).Set(secondsSince(channel.lastSound, now));
    }
    BuildGauge()
        .Name("quietmon_threshold_dbfs")
        .Help("Threshold below which a channel counts as silent, in dBFS")
        .Labels(monitor)
        .Register(registry)
        .Add({})
        .Set(snapshot.thresholdDb);
    BuildGauge()
        .Name("quietmon_alarm_active")
        .Help("1 while the silence alarm is active")
        .Labels(monitor)
        .Register(registry)
        .Add({})
        .Set(snapshot.alarmActive ? 1 : 0);
    BuildGauge()
        .Name("quietmon_input_lost")
        .Help("1 while the audio input delivers nothing")
        .Labels(monitor)
        .Register(registry)
        .Add({})
        .Set(snapshot.inputLost ? 1 : 0);
    BuildGauge()
        .Name("quietmon_setup_open")
        .Help("1 while the Setup dialog is open: no new alarm can be raised")
        .Labels(monitor)
        .Register(registry)
        .Add({})
        .Set(snapshot.setupOpen ? 1 : 0);
    BuildCounter()
        .Name("quietmon_alarms_total")
        .Help("Silence alarms raised since the start")
        .Labels(monitor)
        .Register(registry)
        .Add({})
        .Increment(static_cast<double>(snapshot.alarmsRaised));
    auto& failures = BuildCounter()
                         .Name("quietmon_task_failures_total")
                         .Help("Task failures since the start, by task")
                         .Labels(monitor)
                         .Register(registry);
    for (const auto& [task, count] : snapshot.taskFailures)
        failures.Add({{"kind", task}}).Increment(static_cast<double>(count));
    if (!snapshot.lastSilenceAt.isZero())
        BuildGauge()
            .Name("quietmon_last_silence_timestamp_seconds")
            .Help("When the last silence alarm was raised, also before a restart, in seconds since "
                  "1970-01-01 UTC")
            .Labels(monitor)
            .Register(registry)
            .Add({})
            .Set(unixSeconds(snapshot.lastSilenceAt));
    BuildGauge()
        .Name("quietmon_start_time_seconds")
        .Help("Start of the monitor, in seconds since 1970-01-01 UTC")
        .Labels(monitor)
        .Register(registry)
        .Add({})
        .Set(unixSeconds(snapshot.startedAt));
    BuildGauge()
        .Name("quietmon_build_info")
        .Help("The monitor's version, as a label")
        .Labels(monitor)
        .Register(registry)
        .Add({{"version", snapshot.version}})
        .Set(1);
    BuildGauge()
        .Name("quietmon_info")
        .Help("The monitor's title, version and input, as labels")
        .Labels(monitor)
        .Register(registry)
        .Add({{"title", snapshot.title}, {"version", snapshot.version}, {"input", snapshot.input}})
        .Set(1);
    return TextSerializer().Serialize(registry.Collect());
}

std::string statusPage(const StatusSnapshot& snapshot, DateTime now) {
    nlohmann::ordered_json page;
    page["monitor"] = snapshot.monitor;
    page["version"] = snapshot.version;
    page["title"] = snapshot.title;
    page["status"] = snapshot.statusText;
    page["lastSilence"] = snapshot.lastSilence;
    page["lastSilenceAt"] = snapshot.lastSilenceAt.isZero()
                                ? nlohmann::ordered_json(nullptr)
                                : nlohmann::ordered_json(isoMoment(snapshot.lastSilenceAt));
    page["alarmActive"] = snapshot.alarmActive;
    page["inputLost"] = snapshot.inputLost;
    page["streamTitle"] = snapshot.streamTitle;
    page["setupOpen"] = snapshot.setupOpen;
    page["thresholdDb"] = snapshot.thresholdDb;
    page["channels"] = nlohmann::ordered_json::array();
    for (const ChannelStatus& channel : snapshot.channels) {
        page["channels"].push_back({{"channel", channel.label},
                                    {"name", channel.name},
                                    {"levelDb", channel.levelDb},
                                    {"secondsSinceSound", secondsSince(channel.lastSound, now)}});
    }
    page["alarmsRaised"] = snapshot.alarmsRaised;
    page["taskFailures"] = snapshot.taskFailures;
    page["startTimeSeconds"] = unixSeconds(snapshot.startedAt);
    return page.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

} // namespace quietmon
