// The built-in player's libraries against a sound server of the test's own, heard on its null sink's
// monitor through the endpoint meter, in real time.
#include "platform/linux/Mpg123Library.h"

#include "fakes/FakeShell.h"
#include "platform/linux/PulseAudioEndpoints.h"
#include "runtime/VirtualEventLoop.h"
#include "support/EnvironmentOverride.h"
#include "support/PulseTestServer.h"
#include "support/TempFolder.h"
#include "tasks/openplay/OpenPlay.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <thread>

namespace quietmon {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The generated tones peak at 0.5; anything above this on the monitor is one of them.
constexpr float heard = 0.1f;

// The generated mp3 files: tones of 1 s ("one", "two", "three") and of 30 s ("long").
test::TempFolder* files = nullptr;

std::string mp3(const std::string& name) {
    return files->file(name + ".mp3");
}

// A moment of sound on the monitor, in milliseconds from the start of the listening.
struct Sound {
    std::int64_t startMs;
    std::int64_t endMs;
};

class Mpg123LibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        files = new test::TempFolder;
        for (const auto& [name, seconds] : {std::pair{"one", "1"}, std::pair{"two", "1"},
                                            std::pair{"three", "1"}, std::pair{"long", "30"}}) {
            const std::string wav = files->file(std::string(name) + ".wav");
            ASSERT_EQ(test::runProgram({"sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth",
                                        seconds, "sine", "1000", "vol", "0.5"})
                          .exitCode,
                      0);
            ASSERT_EQ(test::runProgram({"lame", "--quiet", wav, mp3(name)}).exitCode, 0);
        }
    }
    static void TearDownTestSuite() { delete files; }

    void SetUp() override {
        const char* address = std::getenv("PULSE_SERVER");
        previousAddress = address ? address : "";
        ::setenv("PULSE_SERVER", server.address().c_str(), 1);
    }
    void TearDown() override { ::setenv("PULSE_SERVER", previousAddress.c_str(), 1); }

    // Listens on the sink's monitor for `duration`, or only until something is heard, moving the logic's
    // virtual time on with real time; the moments of sound.
    std::vector<Sound> listen(std::chrono::milliseconds duration, bool untilHeard = false) {
        PulseAudioEndpoints endpoints;
        const auto meter = endpoints.openMeter(test::PulseTestServer::monitorName, 100);
        EXPECT_NE(meter, nullptr);
        std::vector<Sound> sounds;
        const auto start = Clock::now();
        const std::int64_t loopStart = loop.elapsedMs();
        while (Clock::now() - start < duration && !(untilHeard && !sounds.empty())) {
            // The meter's read interval: a read with no new block reads the last one again.
            std::this_thread::sleep_for(100ms);
            const auto nowMs =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            loop.advance(nowMs - (loop.elapsedMs() - loopStart));
            const auto peaks = meter ? meter->readPeaks() : std::nullopt;
            if (!peaks || peaks->empty() || (*peaks)[0] <= heard)
                continue;
            if (sounds.empty() || nowMs - sounds.back().endMs > 300)
                sounds.push_back({nowMs, nowMs});
            sounds.back().endMs = nowMs;
        }
        return sounds;
    }
    bool endsWithin(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (library.mode() == Mp3PlayerMode::Playing && Clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        return library.mode() != Mp3PlayerMode::Playing;
    }

    test::PulseTestServer server;
    std::string previousAddress;
    VirtualEventLoop loop;
    Mpg123Library library;
};

TEST_F(Mpg123LibraryTest, ThreeFilesOfOneTaskAreHeardOneAfterAnotherFourToSixSecondsApart) {
    BuiltInMp3Player player(loop, library);
    ASSERT_TRUE(player.create());
    test::FakeShell shell([this] { return loop.elapsedMs(); });
    Settings settings = defaultSettings("Orvane Silence Detector");
    settings.general.internalPlayer = true;
    AlarmState state;
    OpenPlay openPlay(shell, player, loop.clock(), settings, state, files->path() + "/",
                      [](const std::string&) {});
    OpenSettings task;
    task.files = {"one.mp3", "two.mp3", "three.mp3"};
    openPlay.openFiles(task);

    const std::vector<Sound> sounds = listen(25s);
    ASSERT_EQ(sounds.size(), 3u);
    // Each read covers the 100 ms before it, so an edge is seen up to 100 ms late.
    for (std::size_t file = 0; file < 3; ++file)
        EXPECT_NEAR(static_cast<double>(sounds[file].endMs - sounds[file].startMs), 1000, 200) << file;
    // The end is seen within a second, four seconds of settling follow, then the starter's next tick; the
    // encoder's padding adds a little to each gap.
    for (std::size_t file = 1; file < 3; ++file) {
        const std::int64_t gapMs = sounds[file].startMs - sounds[file - 1].endMs;
        EXPECT_GE(gapMs, 4000 - 100) << file;
        EXPECT_LE(gapMs, 6000 + 300) << file;
    }
    player.windDown();
}

TEST_F(Mpg123LibraryTest, ASoundServerDownAtStartUpIsFoundAtTheFirstPlayOnceItRuns) {
    server.kill();
    ASSERT_TRUE(library.load());
    ASSERT_TRUE(library.initialise()); // the player is available without a sound server
    ASSERT_TRUE(library.open(mp3("one")));
    EXPECT_FALSE(library.play());
    EXPECT_NE(library.mode(), Mp3PlayerMode::Playing);

    server.start();
    ASSERT_TRUE(library.open(mp3("one")));
    ASSERT_TRUE(library.play());
    const std::vector<Sound> sounds = listen(5s);
    ASSERT_EQ(sounds.size(), 1u);
    EXPECT_EQ(library.mode(), Mp3PlayerMode::Ended);
}

TEST_F(Mpg123LibraryTest, StopSilencesThePlayAtOnceAndTheFileCanBeClosed) {
    ASSERT_TRUE(library.load() && library.initialise());
    ASSERT_TRUE(library.open(mp3("long")));
    ASSERT_TRUE(library.play());
    ASSERT_FALSE(listen(5s, true).empty());
    const auto stoppedAt = Clock::now();
    ASSERT_TRUE(library.stop());
    EXPECT_LT(Clock::now() - stoppedAt, 500ms);
    EXPECT_EQ(library.mode(), Mp3PlayerMode::Stopped);
    std::this_thread::sleep_for(500ms); // what the monitor had already taken in
    EXPECT_TRUE(listen(2s).empty());
    EXPECT_TRUE(library.close());
    EXPECT_EQ(library.mode(), Mp3PlayerMode::NothingOpen);
}

// A stop on the logic thread returns within half a second whatever the sound server does; the player
// plays the next file as before.
struct StallingServer {
    const char* name;
    const char* file;
    // The buffering a stream asks the server for (PULSE_LATENCY_MSEC), "" for the server's choice: the test
    // server keeps a stream's buffer short, a desktop's default buffers about 2 s.
    const char* latencyMs;
    bool freeze; // SIGSTOP: the playback thread waits in a write that never returns
};

class Mpg123LibraryStopTest : public Mpg123LibraryTest,
                              public ::testing::WithParamInterface<StallingServer> {};

TEST_P(Mpg123LibraryStopTest, StopAndCloseReturnWithinHalfASecond) {
    std::optional<test::EnvironmentOverride> latency;
    if (*GetParam().latencyMs)
        latency.emplace("PULSE_LATENCY_MSEC", GetParam().latencyMs);
    ASSERT_TRUE(library.load() && library.initialise());
    ASSERT_TRUE(library.open(mp3(GetParam().file)));
    ASSERT_TRUE(library.play());
    ASSERT_FALSE(listen(5s, true).empty());
    // Should the stop wait for the frozen server after all, the server is let go after 3 s: the test then
    // fails instead of hanging.
    std::optional<std::jthread> thawLater;
    if (GetParam().freeze) {
        server.freeze();
        thawLater.emplace([this](std::stop_token stop) {
            std::mutex mutex;
            std::unique_lock lock(mutex);
            std::condition_variable_any().wait_for(lock, stop, 3s, [] { return false; });
            server.thaw();
        });
        std::this_thread::sleep_for(300ms); // the server's buffer fills: the thread waits in a write
    }
    const auto stoppedAt = Clock::now();
    EXPECT_TRUE(library.stop());
    EXPECT_TRUE(library.close());
    EXPECT_LT(Clock::now() - stoppedAt, 500ms);
    EXPECT_EQ(library.mode(), Mp3PlayerMode::NothingOpen);
    server.thaw();
    ASSERT_TRUE(library.open(mp3("one")));
    ASSERT_TRUE(library.play());
    EXPECT_TRUE(endsWithin(10s));
    EXPECT_EQ(library.mode(), Mp3PlayerMode::Ended);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, Mpg123LibraryStopTest,
    // The 1 s file is written whole at once into a buffer that large: once it is heard, it is drained.
    ::testing::Values(StallingServer{"DuringALongEndOfFileDrain", "one", "2000", false},
                      StallingServer{"Frozen", "long", "", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Mpg123LibraryTest, ASoundServerThatGoesAwayMidFileEndsThePlayAndTheNextPlayFindsItAgain) {
    ASSERT_TRUE(library.load() && library.initialise());
    ASSERT_TRUE(library.open(mp3("long")));
    ASSERT_TRUE(library.play());
    ASSERT_FALSE(listen(5s, true).empty());
    server.kill();
    EXPECT_TRUE(endsWithin(5s));
    EXPECT_TRUE(library.close());

    server.start();
    ASSERT_TRUE(library.open(mp3("one")));
    ASSERT_TRUE(library.play());
    EXPECT_EQ(listen(5s).size(), 1u);
}

TEST_F(Mpg123LibraryTest, AFileDeletedWhileItPlaysIsPlayedToItsEnd) {
    const std::string copy = files->file("copy.mp3");
    std::filesystem::copy_file(mp3("one"), copy);
    ASSERT_TRUE(library.load() && library.initialise());
    ASSERT_TRUE(library.open(copy));
    ASSERT_TRUE(library.play());
    std::filesystem::remove(copy);
    EXPECT_TRUE(endsWithin(5s));
    EXPECT_EQ(library.mode(), Mp3PlayerMode::Ended);
}

struct BadFile {
    const char* name;
    std::function<std::string()> contents;
};

class Mpg123LibraryBadFileTest : public Mpg123LibraryTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(Mpg123LibraryBadFileTest, IsRefusedOrEndsWithoutHanging) {
    const std::string file = files->file(std::string(GetParam().name) + ".mp3");
    test::writeWholeFile(file, GetParam().contents());
    ASSERT_TRUE(library.load() && library.initialise());
    const auto start = Clock::now();
    if (library.open(file) && library.play())
        EXPECT_TRUE(endsWithin(10s));
    EXPECT_TRUE(library.close());
    EXPECT_LT(Clock::now() - start, 10s);
    EXPECT_EQ(library.mode(), Mp3PlayerMode::NothingOpen);
}

std::string randomBytes(std::size_t size) {
    std::string bytes(size, '\0');
    unsigned state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, Mpg123LibraryBadFileTest,
    ::testing::Values(BadFile{"Empty", [] { return std::string(); }},
                      BadFile{"Text", [] { return std::string(20'000, 'x'); }},
                      BadFile{"RandomBytes", [] { return randomBytes(200'000); }},
                      BadFile{"Truncated",
                              [] {
                                  const std::string whole = test::readWholeFile(files->file("long.mp3"));
                                  return whole.substr(0, whole.size() / 20 + 333);
                              }},
                      BadFile{"HeaderOnly",
                              [] { return test::readWholeFile(files->file("long.mp3")).substr(0, 700); }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quietmon
