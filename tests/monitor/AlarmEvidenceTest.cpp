// The evidence the email tasks attach: the audio around a silence and the graph's data, in virtual time.
#include "monitor/AlarmEvidence.h"

#include <cmath>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

constexpr int rate = 1000; // frames a second: small, so that minutes of sound stay cheap
constexpr std::int16_t tone = 1000;

// A clip as runs of equal samples: (value, seconds).
std::vector<std::pair<std::int16_t, double>> runsOf(const std::vector<std::int16_t>& clip) {
    std::vector<std::pair<std::int16_t, double>> runs;
    for (std::size_t i = 0; i < clip.size(); i += 2) {
        if (runs.empty() || runs.back().first != clip[i])
            runs.push_back({clip[i], 0.0});
        runs.back().second += 1.0 / rate;
    }
    for (auto& run : runs)
        run.second = std::round(run.second * 1000) / 1000;
    return runs;
}

TEST(AudioClipRecorderTest, KeepsTheSoundBeforeASilenceAndTheSilenceAfterItWithinTheirLimits) {
    struct Case {
        const char* name;
        std::vector<std::pair<bool, int>> story; // (silent, seconds)
        std::vector<std::pair<std::int16_t, double>> silenceClip;
        std::vector<std::pair<std::int16_t, double>> returnClip;
    };
    const Case cases[] = {
        {"a long programme, then a long silence", {{false, 45}, {true, 600}}, {{tone, 20}, {0, 10}}, {}},
        {"a short programme, then a short silence", {{false, 5}, {true, 3}}, {{tone, 5}, {0, 3}}, {}},
        {"a silence and the sound back",
         {{false, 30}, {true, 100}, {false, 60}},
         {{tone, 20}, {0, 10}},
         {{0, 10}, {tone, 20}}},
        {"a short return",
         {{false, 30}, {true, 100}, {false, 4}},
         {{tone, 20}, {0, 10}},
         {{0, 10}, {tone, 4}}},
        {"a second silence freezes anew",
         {{false, 30}, {true, 2}, {false, 3}, {true, 20}},
         {{tone, 15}, {0, 2}, {tone, 3}, {0, 10}},
         {{tone, 8}, {0, 2}, {tone, 3}}},
    };
    for (const Case& story : cases) {
        SCOPED_TRACE(story.name);
        AudioClipRecorder clips;
        for (const auto& [silent, seconds] : story.story) {
            const std::vector<std::int16_t> buffer(rate / 8 * 2, silent ? 0 : tone);
            for (int eighth = 0; eighth < seconds * 8; ++eighth)
                clips.add(buffer, rate, silent);
        }
        EXPECT_EQ(runsOf(clips.silenceClip()), story.silenceClip);
        EXPECT_EQ(runsOf(clips.returnClip()), story.returnClip);
    }
}

TEST(AlarmEvidenceTest, TheGraphShowsTheLastTenMinutesWithTheSilenceShaded) {
    const DateTime start = DateTime::fromParts(2026, 3, 14, 3, 0, 0);
    const std::int64_t first = secondOf(start);
    AlarmEvidence evidence([](const std::string&) {});
    AlarmEvidence::Picture picture;
    // 15 minutes of sound, then 60 s of silence, then sound again for 30 s.
    for (std::int64_t second = 0; second < 1050; ++second) {
        const bool silent = second >= 900 && second < 960;
        picture.recentSeconds.push_back(
            {first + second, silent ? -96 : -10, silent ? -96 : -12, false, false});
        evidence.onMeasurement(DateTime::fromMilliseconds((first + second) * 1000), silent);
    }
    const DateTime alarmMail = DateTime::fromMilliseconds((first + 930) * 1000);
    const DateTime returnMail = DateTime::fromMilliseconds((first + 1049) * 1000);

    const LevelGraph alarm = evidence.graphOf(QueueKind::Alarm, alarmMail, picture);
    EXPECT_EQ(alarm.start, DateTime::fromMilliseconds((first + 331) * 1000));
    ASSERT_EQ(alarm.seconds.size(), 600u);
    EXPECT_EQ(alarm.silenceFrom, 569);
    EXPECT_EQ(alarm.silenceTo, std::nullopt); // up to the mail
    EXPECT_EQ(alarm.seconds[568].dbLeft, -10);
    EXPECT_EQ(alarm.seconds[569].dbLeft, -96);
    EXPECT_TRUE(alarm.seconds[599].recorded); // seconds after the mail's are not drawn
    const LevelGraph back = evidence.graphOf(QueueKind::Return, returnMail, picture);
    EXPECT_EQ(back.silenceFrom, 450);
    EXPECT_EQ(back.silenceTo, 510);

    // The clock went back five minutes at second 1000: nothing before the jump is drawn over what follows.
    picture.recentSeconds.resize(1000);
    for (std::int64_t second = 700; second < 760; ++second)
        picture.recentSeconds.push_back({first + second, -30, -30, false, false});
    const LevelGraph jumped =
        evidence.graphOf(QueueKind::Alarm, DateTime::fromMilliseconds((first + 759) * 1000), picture);
    int recorded = 0;
    for (const LevelGraph::Second& second : jumped.seconds) {
        recorded += second.recorded;
        if (second.recorded)
            EXPECT_EQ(second.dbLeft, -30);
    }
    EXPECT_EQ(recorded, 60);
}

TEST(AlarmEvidenceTest, WhatCannotBeMadeIsLeftOutWithALogLine) {
    std::vector<std::string> logged;
    AlarmEvidence evidence([&logged](const std::string& text) { logged.push_back(text); });
    EmailSettings settings;
    settings.attachLevelGraph = settings.attachAudioClip = true;
    EXPECT_TRUE(
        evidence.attachments(settings, QueueKind::Alarm, DateTime::fromParts(2026, 3, 14), {}).empty());
    EXPECT_EQ(logged,
              (std::vector<std::string>{"Level graph not attached - no graph drawing in this program",
                                        "Audio clip not attached - no sound was captured (an endpoint meter "
                                        "gives levels only)"}));
}

} // namespace
} // namespace quietmon
