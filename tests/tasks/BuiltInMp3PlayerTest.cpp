#include "tasks/openplay/BuiltInMp3Player.h"

#include "fakes/FakeMp3Library.h"
#include "runtime/VirtualEventLoop.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

using Strings = std::vector<std::string>;

// The end of a file is seen within a second; four seconds of settling follow; the next file starts at the
// starter's next tick: 4 to 6 s after the end.
constexpr std::int64_t shortestGapMs = 4000;
constexpr std::int64_t longestGapMs = 6000;

class BuiltInMp3PlayerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(player.create()); }
    void playAll(const Strings& files) {
        for (const std::string& file : files)
            player.playMp3(file);
    }
    std::int64_t gapBefore(std::size_t start) const {
        return library.starts[start].atMs - (library.starts[start - 1].atMs + library.fileLengthMs);
    }

    VirtualEventLoop loop;
    test::FakeMp3Library library{[this] { return loop.elapsedMs(); }};
    BuiltInMp3Player player{loop, library};
};

TEST_F(BuiltInMp3PlayerTest, WaitingFilesFollowFourToSixSecondsAfterTheEndOfTheOneBefore) {
    playAll({"one.mp3", "two.mp3", "three.mp3"});
    ASSERT_EQ(library.startedFiles(), Strings{"one.mp3"});
    EXPECT_EQ(library.starts[0].atMs, 0);
    loop.advance(60'000);
    ASSERT_EQ(library.startedFiles(), (Strings{"one.mp3", "two.mp3", "three.mp3"}));
    for (std::size_t start : {1u, 2u}) {
        EXPECT_GE(gapBefore(start), shortestGapMs) << start;
        EXPECT_LE(gapBefore(start), longestGapMs) << start;
    }
    // With nothing left to play both timers have switched themselves off: the player is no longer asked.
    const int queries = library.modeQueries;
    loop.advance(60'000);
    EXPECT_EQ(library.modeQueries, queries);
    EXPECT_EQ(player.playerBusy(), 0);
}

TEST_F(BuiltInMp3PlayerTest, TheTwentyFirstWaitingFileIsDropped) {
    library.fileLengthMs = 1000;
    Strings files;
    for (int number = 0; number <= 21; ++number)
        files.push_back(std::to_string(number) + ".mp3");
    playAll(files);
    EXPECT_EQ(player.mp3Queue().size(), 20u);
    loop.advance(22 * (library.fileLengthMs + longestGapMs));
    files.pop_back();
    EXPECT_EQ(library.startedFiles(), files);
}

TEST_F(BuiltInMp3PlayerTest, AFileThatFailsToStartIsPassedOverForTheNextOne) {
    library.unplayable = {"broken.mp3"};
    player.playMp3("broken.mp3");
    EXPECT_EQ(player.playerBusy(), 0);
    playAll({"one.mp3", "broken.mp3", "three.mp3"});
    EXPECT_EQ(library.startedFiles(), Strings{"one.mp3"});
    loop.advance(60'000);
    ASSERT_EQ(library.startedFiles(), (Strings{"one.mp3", "three.mp3"}));
    // The failed start took one starter tick.
    EXPECT_GE(gapBefore(1), shortestGapMs + 1000);
    EXPECT_LE(gapBefore(1), longestGapMs + 1000);
}

TEST_F(BuiltInMp3PlayerTest, AFilePlayedAloneIsFollowedByTheNextOnlyOnceTheWatcherHasSeenItsEnd) {
    player.playMp3("one.mp3");
    loop.advance(30'000); // long over, but nothing watches a file that played on its own
    EXPECT_EQ(player.playerBusy(), BuiltInMp3Player::started);
    player.playMp3("two.mp3");
    EXPECT_EQ(library.startedFiles(), Strings{"one.mp3"});
    loop.advance(10'000);
    ASSERT_EQ(library.startedFiles(), (Strings{"one.mp3", "two.mp3"}));
    EXPECT_GE(library.starts[1].atMs, 30'000 + shortestGapMs);
    EXPECT_LE(library.starts[1].atMs, 30'000 + longestGapMs);
}

struct ReturnCase {
    const char* name;
    std::int64_t atMs; // the first file plays from 0 to 10 s
    int stops;
};

class BuiltInMp3PlayerReturnTest : public BuiltInMp3PlayerTest,
                                   public ::testing::WithParamInterface<ReturnCase> {};

TEST_P(BuiltInMp3PlayerReturnTest, StopsThePlayingFileAndDiscardsTheWaitingOnes) {
    playAll({"one.mp3", "two.mp3", "three.mp3"});
    loop.advance(GetParam().atMs);
    player.stopForReturn();
    EXPECT_EQ(library.stops, GetParam().stops);
    loop.advance(60'000);
    EXPECT_EQ(library.startedFiles(), Strings{"one.mp3"});
    // The player is free again: a file of the next alarm plays at once.
    player.playMp3("next.mp3");
    EXPECT_EQ(library.startedFiles().back(), "next.mp3");
}

INSTANTIATE_TEST_SUITE_P(Moments, BuiltInMp3PlayerReturnTest,
                         ::testing::Values(ReturnCase{"WhileAFilePlays", 5000, 1},
                                           ReturnCase{"BetweenTwoFiles", 12'500, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ExitCase {
    const char* name;
    Strings files;
    std::int64_t playedMs;
    std::int64_t waitMs;
    int closes;
};

class BuiltInMp3PlayerExitTest : public BuiltInMp3PlayerTest,
                                 public ::testing::WithParamInterface<ExitCase> {};

TEST_P(BuiltInMp3PlayerExitTest, WaitsForThePlayerBeforeReleasingIt) {
    playAll(GetParam().files);
    loop.advance(GetParam().playedMs);
    const int closesBefore = library.closes;
    const std::int64_t exitAt = loop.elapsedMs();
    player.windDown();
    EXPECT_EQ(loop.elapsedMs() - exitAt, GetParam().waitMs);
    EXPECT_EQ(library.closes - closesBefore, GetParam().closes);
    EXPECT_EQ(library.deinitialisations, 1);
}

// Two files of 10 s: the watcher, ticking from the moment the second was queued, sees the first one's end at
// 10 s and counts 4, then 3 at 11 s.
INSTANTIATE_TEST_SUITE_P(
    States, BuiltInMp3PlayerExitTest,
    ::testing::Values(ExitCase{"Idle", {}, 0, 0, 0}, ExitCase{"AfterAStart", {"one.mp3"}, 3000, 5000, 1},
                      ExitCase{"SettlingWithThreeSecondsLeft", {"one.mp3", "two.mp3"}, 11'500, 3000, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BuiltInMp3PlayerCreationTest, ALibraryThatIsMissingOrWillNotInitialiseLeavesThePlayerUnavailable) {
    for (const auto& [loads, initialises] : {std::pair{false, true}, std::pair{true, false}}) {
        VirtualEventLoop loop;
        test::FakeMp3Library library{[&loop] { return loop.elapsedMs(); }};
        library.loads = loads;
        library.initialises = initialises;
        BuiltInMp3Player player{loop, library};
        EXPECT_FALSE(player.create());
        player.playMp3("one.mp3");
        player.windDown();
        EXPECT_TRUE(library.starts.empty());
        EXPECT_EQ(library.deinitialisations, 0);
    }
}

} // namespace
} // namespace quietmon
