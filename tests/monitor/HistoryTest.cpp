// The level and alarm history in virtual time over real files.
#include "monitor/AlarmHistory.h"
#include "monitor/HistoryRecorder.h"
#include "runtime/VirtualEventLoop.h"
#include "support/TempFolder.h"
#include "support/Unprivileged.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace quietmon {
namespace {

constexpr std::int64_t day = 86'400;
const DateTime started = DateTime::fromParts(2026, 3, 14, 7, 5, 9);

// A level that differs from second to second, so that a second read from the wrong slot shows.
LevelSecond levelAt(std::int64_t second) {
    return {second, -static_cast<int>(second % 97), -static_cast<int>((second / 7) % 97),
            (second / 3600) % 2 == 1, second % 5 == 0};
}

// A ring file whose header copies are whole but of another layout version.
void writeHeaderOfVersion(const std::string& path, std::uint32_t version) {
    std::string header(LevelHistoryFile::headerBytes, '\0');
    header.replace(0, 8, "QMLEVELS");
    for (int i = 0; i < 4; ++i) {
        header[8 + i] = static_cast<char>((version >> (8 * i)) & 0xFF);
        header[12 + i] = static_cast<char>((LevelHistoryFile::slotCount >> (8 * i)) & 0xFF);
    }
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < 552; ++i) {
        crc ^= static_cast<std::uint8_t>(header[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    for (int i = 0; i < 4; ++i)
        header[552 + i] = static_cast<char>((~crc >> (8 * i)) & 0xFF);
    test::writeWholeFile(path, header + std::string(LevelHistoryFile::fileBytes - header.size(), '\xFF'));
}

class HistoryTest : public ::testing::Test {
protected:
    std::string levelPath() const { return HistoryRecorder::levelHistoryPath(folder.path() + "/"); }
    std::string alarmPath() const { return HistoryRecorder::alarmHistoryPath(folder.path() + "/"); }
    // Measurements four a second, each second at its own level, with the minute's writes between them.
    void measure(HistoryRecorder& into, std::int64_t firstSecond, std::int64_t seconds) {
        for (std::int64_t second = firstSecond; second < firstSecond + seconds; ++second) {
            for (int quarter = 0; quarter < 4; ++quarter) {
                const LevelSecond level = levelAt(second);
                into.onMeasurement(DateTime::fromMilliseconds(second * 1000 + quarter * 250),
                                   level.dbLeft - quarter, level.dbRight, level.alarmActive, level.inputLost);
            }
            if ((second - firstSecond) % 60 == 59)
                loop.advance(60'000);
        }
    }
    LevelHistorySpan read(std::int64_t first, std::int64_t last) const {
        std::string failure;
        const std::optional<LevelHistorySpan> span = readLevelHistory(levelPath(), first, last, failure);
        EXPECT_TRUE(span) << failure;
        return span.value_or(LevelHistorySpan{});
    }
    // How many seconds of the span hold exactly the level of their second, and how many hold none.
    std::pair<std::int64_t, std::int64_t> countRecorded(const LevelHistorySpan& span) const {
        std::int64_t right = 0, none = 0;
        for (std::size_t index = 0; index < span.size(); ++index) {
            const std::optional<LevelSecond> level = span.at(index);
            if (!level)
                ++none;
            else if (*level == levelAt(level->second))
                ++right;
        }
        return {right, none};
    }

    test::TempFolder folder;
    VirtualEventLoop loop{started};
    std::vector<std::string> logged;
    HistoryRecorder recorder{loop, [this](const std::string& text) { logged.push_back(text); }};
    std::int64_t now = secondOf(started);
};

TEST_F(HistoryTest, EachSecondKeepsItsHighestLevelsAndReachesTheFileWithinAMinute) {
    recorder.start(folder.path() + "/");
    EXPECT_EQ(std::filesystem::file_size(levelPath()), LevelHistoryFile::fileBytes);
    for (int second = 0; second < 120; ++second) {
        measure(recorder, now + second, 1);
        loop.advance(1000);
    }
    // Written by the minute's timer, without a stop: what a killed program leaves.
    const LevelHistorySpan span = read(now, now + 119);
    EXPECT_EQ(countRecorded(span), std::make_pair(std::int64_t{120}, std::int64_t{0}));
    EXPECT_TRUE(logged.empty());
}

TEST_F(HistoryTest, ThirtyOneDaysAreKeptAcrossTheRingsEndAndOlderSecondsAreGone) {
    recorder.start(folder.path() + "/");
    measure(recorder, now, 600);
    recorder.stop();
    // A restart 31 days later less five minutes: the ring wraps, and the first five minutes fall out.
    const std::int64_t later = now + 31 * day - 300;
    HistoryRecorder restarted(loop, [this](const std::string& text) { logged.push_back(text); });
    restarted.start(folder.path() + "/");
    measure(restarted, later, 600);
    restarted.stop();
    EXPECT_EQ(countRecorded(read(now, now + 299)), std::make_pair(std::int64_t{0}, std::int64_t{300}));
    EXPECT_EQ(countRecorded(read(now + 300, now + 599)), std::make_pair(std::int64_t{300}, std::int64_t{0}));
    EXPECT_EQ(countRecorded(read(now + 600, later - 1)).first, 0);
    EXPECT_EQ(countRecorded(read(later, later + 599)), std::make_pair(std::int64_t{600}, std::int64_t{0}));
    EXPECT_TRUE(read(now, later + 599).jumps.empty()); // a stopped program is a gap, not a clock jump
    EXPECT_TRUE(logged.empty());
}

TEST_F(HistoryTest, AClockJumpShowsAsAJumpAndLeavesNoSecondFromBeforeIt) {
    struct Case {
        const char* name;
        std::int64_t bySeconds;
    };
    for (const Case& jump : {Case{"back an hour", -3601}, Case{"forward an hour", 3599}}) {
        SCOPED_TRACE(jump.name);
        std::filesystem::remove(levelPath());
        HistoryRecorder running(loop, [](const std::string&) {});
        running.start(folder.path() + "/");
        measure(running, now, 1800);
        const std::int64_t resumed = now + 1800 + jump.bySeconds;
        measure(running, resumed, 2400);
        running.stop();
        const LevelHistorySpan span = read(std::min(now, resumed), std::max(now + 1799, resumed + 2399));
        EXPECT_EQ(span.jumps, (std::vector<ClockJump>{{now + 1799, jump.bySeconds}}));
        const auto [right, none] = countRecorded(span);
        EXPECT_EQ(right + none, static_cast<std::int64_t>(span.size())); // nothing garbled
        EXPECT_EQ(countRecorded(read(resumed, resumed + 2399)).first, 2400);
    }
}

TEST_F(HistoryTest, AWriteTornByACrashLeavesTheMinuteBeforeItAndNoGarbage) {
    recorder.start(folder.path() + "/");
    measure(recorder, now, 120); // two minutes' writes: the header copies take turns, 2048 holds the newer
    {
        std::fstream file(levelPath(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(2048 + 300);
        file.write("torn", 4);
    }
    EXPECT_EQ(countRecorded(read(now, now + 200)), std::make_pair(std::int64_t{60}, std::int64_t{141}));
    HistoryRecorder restarted(loop, [this](const std::string& text) { logged.push_back(text); });
    restarted.start(folder.path() + "/");
    measure(restarted, now + 300, 10);
    restarted.stop();
    EXPECT_TRUE(logged.empty());
    EXPECT_EQ(countRecorded(read(now + 300, now + 309)).first, 10);
}

TEST_F(HistoryTest, AFileThatIsNoLevelHistoryIsSetAsideAndANewOneStarted) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* reason;
    };
    const std::string ring = levelPath();
    const Case cases[] = {
        {"foreign", [](const std::string& path) { test::writeWholeFile(path, "[General]\nTop=1\n"); },
         "not the size of a level history"},
        {"foreign of the right size",
         [](const std::string& path) {
             test::writeWholeFile(path, std::string(LevelHistoryFile::fileBytes, 'x'));
         },
         "not a level history"},
        {"cut short",
         [](const std::string& path) { std::filesystem::resize_file(path, LevelHistoryFile::fileBytes - 2); },
         "not the size of a level history"},
        {"both header copies damaged",
         [](const std::string& path) {
             std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
             for (std::streamoff copy : {0, 2048}) {
                 file.seekp(copy + 20);
                 file.put(2);
             }
         },
         "damaged"},
        {"another version", [](const std::string& path) { writeHeaderOfVersion(path, 2); },
         "version 2 of the layout"},
        {"a folder", [](const std::string& path) { std::filesystem::create_directory(path); },
         "Is a directory"},
    };
    for (const Case& damage : cases) {
        SCOPED_TRACE(damage.name);
        std::filesystem::remove_all(folder.path());
        std::filesystem::create_directories(folder.path());
        if (std::string(damage.name).starts_with("both") || std::string(damage.name).starts_with("cut")) {
            HistoryRecorder first(loop, [](const std::string&) {});
            first.start(folder.path() + "/");
            first.stop();
        }
        damage.make(ring);
        logged.clear();
        HistoryRecorder recorder(loop, [this](const std::string& text) { logged.push_back(text); });
        recorder.start(folder.path() + "/");
        const std::string aside = "quietmon-levels.bin.damaged-20260314-070509";
        EXPECT_EQ(logged, (std::vector<std::string>{"Level history file quietmon-levels.bin is " +
                                                    std::string(damage.reason) + "; it was set aside as " +
                                                    aside + " and a new one started"}));
        EXPECT_TRUE(std::filesystem::exists(folder.file(aside)));
        measure(recorder, now, 10);
        recorder.stop();
        EXPECT_EQ(countRecorded(read(now, now + 9)).first, 10);
    }
}

TEST_F(HistoryTest, AFullDiskCostsALogLineAndTheMonitoringGoesOn) {
    // A file-size limit below the ring's size stands in for a full disk.
    const int child = test::runInChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1 << 20, 1 << 20};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        recorder.start(folder.path() + "/");
        measure(recorder, now, 180);
        loop.advance(180'000);
        recorder.alarmRaised(started, "Left", false);
        recorder.stop();
        const bool oneLine = logged == std::vector<std::string>{"Level history not kept - File too large"};
        return oneLine && !std::filesystem::exists(levelPath()) &&
                       test::readWholeFile(alarmPath()) == "start\t2026-03-14 07:05:09\tLeft\t0\n"
                   ? 0
                   : 1;
    });
    EXPECT_EQ(child, 0);
}

TEST_F(HistoryTest, TheAlarmHistoryPairsEachStartWithItsEnd) {
    struct Case {
        const char* name;
        std::string file;
        std::string table;
    };
    const Case cases[] = {
        {"an alarm and its return",
         "start\t2026-03-14 03:00:05\tLeft, Right\t0\nend\t2026-03-14 03:10:00\t1\n",
         "2026-03-14 03:00:05\t2026-03-14 03:10:00\tLeft, Right\t595\tyes\n"},
        {"a lasting alarm", "start\t2026-03-14 03:00:05\tRight\t1\n",
         "2026-03-14 03:00:05\t\tRight\t\tyes\n"},
        {"a program that ended for good during an alarm",
         "start\t2026-03-14 03:00:05\tLeft\t0\nstart\t2026-03-15 04:00:00\tLeft\t0\nend\t2026-03-15 "
         "04:00:30\t0\n",
         "2026-03-14 03:00:05\t\tLeft\t\tno\n2026-03-15 04:00:00\t2026-03-15 04:00:30\tLeft\t30\tno\n"},
        {"a last line cut short, junk and an end without a start",
         "end\t2026-03-13 01:00:00\t0\nnonsense\nstart\t2026-02-30 01:00:00\tLeft\t0\nstart\t2026-03-14 "
         "03:00:05\tLeft\t0\nend\t2026-03-14 03:0",
         "2026-03-14 03:00:05\t\tLeft\t\tno\n"},
    };
    for (const Case& story : cases) {
        SCOPED_TRACE(story.name);
        EXPECT_EQ(alarmHistoryTable(parseAlarmHistory(story.file), std::nullopt), story.table);
    }
    const std::vector<AlarmRecord> two = parseAlarmHistory(cases[2].file);
    EXPECT_EQ(alarmHistoryTable(two, DateTime::fromParts(2026, 3, 15)),
              cases[2].table.substr(cases[2].table.find('\n') + 1));
}

TEST_F(HistoryTest, AnAlarmAndItsReturnAreWrittenAtOnce) {
    recorder.start(folder.path() + "/");
    measure(recorder, now, 5);
    recorder.alarmRaised(DateTime::fromMilliseconds((now + 5) * 1000), "Left", false);
    EXPECT_EQ(countRecorded(read(now, now + 4)).first, 5); // no minute's wait
    measure(recorder, now + 5, 5);
    recorder.onMeasurement(DateTime::fromMilliseconds((now + 10) * 1000), -96, -96, true, true);
    recorder.alarmReturned(DateTime::fromMilliseconds((now + 11) * 1000));
    std::string failure;
    EXPECT_EQ(alarmHistoryTable(readAlarmHistory(alarmPath(), failure), std::nullopt),
              "2026-03-14 07:05:14\t2026-03-14 07:05:20\tLeft\t6\tyes\n");
    EXPECT_EQ(countRecorded(read(now + 5, now + 9)).first, 5);
}

TEST_F(HistoryTest, AFlappingInputNeverGrowsTheAlarmHistoryPastItsLimit) {
    constexpr std::uint64_t limit = 4096;
    AlarmHistoryFile history(limit);
    history.setPath(alarmPath());
    std::string failure;
    constexpr int alarms = 400; // some 70 bytes each
    for (int alarm = 0; alarm < alarms; ++alarm) {
        const DateTime at = DateTime::fromMilliseconds((now + alarm * 10) * 1000);
        ASSERT_TRUE(history.recordStart(at, "Left, Right", alarm % 2 == 1, failure)) << failure;
        ASSERT_TRUE(
            history.recordEnd(DateTime::fromMilliseconds((now + alarm * 10 + 5) * 1000), false, failure));
        ASSERT_LE(std::filesystem::file_size(alarmPath()), limit + 100);
    }
    const std::vector<AlarmRecord> kept = readAlarmHistory(alarmPath(), failure);
    ASSERT_GT(kept.size(), 20u);
    // The newest alarms, each whole, up to the last one.
    EXPECT_EQ(kept.back().start, DateTime::fromMilliseconds((now + (alarms - 1) * 10) * 1000));
    for (const AlarmRecord& record : kept)
        EXPECT_EQ(record.durationSeconds(), 5);
}

} // namespace
} // namespace quietmon
