#include "tasks/openplay/OpenPlay.h"

#include "fakes/FakeMp3Library.h"
#include "fakes/FakeShell.h"
#include "platform/linux/LinuxShell.h"
#include "runtime/VirtualEventLoop.h"
#include "support/TempFolder.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quietmon {
namespace {

using Strings = std::vector<std::string>;

// Open/Play over a desktop that records what it is asked to open, in a program folder with a few files.
class OpenPlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"tone.mp3", "LOUD.Mp3", "notes.txt", "Left.mp3"})
            test::writeWholeFile(programFolder.file(name), "");
        settings.general.internalPlayer = true;
        state.eventTime = DateTime::fromParts(2026, 3, 14, 7, 5, 9);
        state.silentChannels = "Left";
        ASSERT_TRUE(player.create());
        ASSERT_TRUE(changeCurrentFolder(elsewhere.path()));
    }
    void TearDown() override { changeCurrentFolder(startFolder); }
    OpenSettings files(const Strings& names, const Strings& parameters = {"", "", ""}) {
        OpenSettings open;
        for (std::size_t pair = 0; pair < names.size(); ++pair)
            open.files[pair] = names[pair];
        for (std::size_t pair = 0; pair < parameters.size(); ++pair)
            open.params[pair] = parameters[pair];
        return open;
    }
    Strings opened() const {
        Strings names;
        for (const auto& opening : shell.openings)
            names.push_back(opening.file);
        return names;
    }

    std::string startFolder = std::filesystem::current_path().string();
    test::TempFolder programFolder;
    test::TempFolder elsewhere;
    VirtualEventLoop loop;
    test::FakeMp3Library library{[this] { return loop.elapsedMs(); }};
    BuiltInMp3Player player{loop, library};
    test::FakeShell shell{[this] { return loop.elapsedMs(); }};
    Settings settings = defaultSettings("Orvane Silence Detector");
    AlarmState state;
    Strings log;
    OpenPlay::Log logTo = [this](const std::string& text) { log.push_back(text); };
    OpenPlay openPlay{shell, player, loop.clock(), settings, state, programFolder.path() + "/", logTo};
};

TEST_F(OpenPlayTest, ATaskWithNoFilesDoesNothingAndTakesNoTime) {
    openPlay.openFiles(files({"", "", ""}, {"-q", "-q", "-q"}));
    EXPECT_TRUE(shell.openings.empty());
    EXPECT_TRUE(library.starts.empty());
    EXPECT_EQ(loop.elapsedMs(), 0);
}

TEST_F(OpenPlayTest, ThreeFilesWithThePlayerOffAreOpenedByTheDesktop200MsApart) {
    settings.general.internalPlayer = false;
    openPlay.openFiles(files({"tone.mp3", "notes.txt", "https://radio.example/"}));
    EXPECT_EQ(opened(), (Strings{"tone.mp3", "notes.txt", "https://radio.example/"}));
    std::vector<std::int64_t> times;
    for (const auto& opening : shell.openings)
        times.push_back(opening.atMs);
    EXPECT_EQ(times, (std::vector<std::int64_t>{0, 200, 400}));
    EXPECT_EQ(loop.elapsedMs(), 600);
    EXPECT_TRUE(library.starts.empty());
}

struct Routing {
    const char* name;
    const char* file;
    const char* parameters;
    Strings played;
    Strings opened;
    Strings arguments;
};

class OpenPlayRoutingTest : public OpenPlayTest, public ::testing::WithParamInterface<Routing> {};

TEST_P(OpenPlayRoutingTest, AnMp3GoesToTheBuiltInPlayerAnythingElseToTheDesktop) {
    openPlay.openFiles(files({GetParam().file}, {GetParam().parameters}));
    EXPECT_EQ(library.startedFiles(), GetParam().played);
    EXPECT_EQ(opened(), GetParam().opened);
    if (!shell.openings.empty())
        EXPECT_EQ(shell.openings[0].arguments, GetParam().arguments);
    EXPECT_EQ(loop.elapsedMs(), OpenPlay::pauseAfterFileMs);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenPlayRoutingTest,
    ::testing::Values(
        Routing{"Mp3", "tone.mp3", "--loud", {"tone.mp3"}, {}, {}},
        Routing{"Mp3InCapitals", "LOUD.Mp3", "", {"LOUD.Mp3"}, {}, {}},
        Routing{"Mp3NamedByAPlaceholder", "%channel.mp3", "", {"Left.mp3"}, {}, {}},
        // A missing mp3 is skipped, not handed to the desktop.
        Routing{"MissingMp3", "missing.mp3", "", {}, {}, {}},
        Routing{"NotQuiteAnMp3", "tone.mp3.txt", "", {}, {"tone.mp3.txt"}, {}},
        Routing{"Document", "notes.txt", "-n %channel", {}, {"notes.txt"}, {"-n", "Left"}},
        Routing{"Url", "https://radio.example/%date", "", {}, {"https://radio.example/2026-03-14"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ParameterWords {
    const char* name;
    const char* silentChannels;
    const char* parameters;
    Strings words;
};

class OpenPlayParameterWordsTest : public OpenPlayTest,
                                   public ::testing::WithParamInterface<ParameterWords> {};

TEST_P(OpenPlayParameterWordsTest, TheParametersAreSplitIntoWordsBeforeThePlaceholdersAreExpanded) {
    state.silentChannels = GetParam().silentChannels;
    openPlay.openFiles(files({"notes.txt"}, {GetParam().parameters}));
    ASSERT_EQ(shell.openings.size(), 1u);
    EXPECT_EQ(shell.openings[0].arguments, GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Parameters, OpenPlayParameterWordsTest,
    ::testing::Values(
        ParameterWords{"QuoteInAChannelName",
                       "O'Brien",
                       "--channel %channel --loud",
                       {"--channel", "O'Brien", "--loud"}},
        ParameterWords{"BlanksInAChannelName", "Left and Right", "-m %channel", {"-m", "Left and Right"}},
        ParameterWords{"QuotesAndBackslashInAChannelName",
                       R"(say "hi"\)",
                       R"("%channel" 'x y')",
                       {R"(say "hi"\)", "x y"}},
        ParameterWords{"LineBreakInsideAWord", "Left", "-m first%brsecond", {"-m", "first\r\nsecond"}},
        ParameterWords{
            "PlaceholdersJoinedToText", "Left", "--log=%date_%time.txt", {"--log=2026-03-14_07-05-09.txt"}},
        ParameterWords{"QuotesStillGroupTypedBlanks", "Left", "'%time: %channel'", {"07:05:09 Left"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpenPlayTest, ARelativeNameIsFoundInTheProgramFolderWhateverFolderWasCurrent) {
    openPlay.openFiles(files({"tone.mp3"}));
    EXPECT_EQ(library.startedFiles(), Strings{"tone.mp3"});
    EXPECT_EQ(library.openedExisting, std::vector<bool>{true});
}

// Open/Play over the real desktop opener: programs the test writes, and a stand-in xdg-open on PATH.
class OpenPlayDesktopTest : public OpenPlayTest {
protected:
    void SetUp() override {
        OpenPlayTest::SetUp();
        std::filesystem::create_directories(programFolder.file("tools"));
        writeRecorder(programFolder.file("tools/record-args"));
        writeRecorder(stubs.file("xdg-open"));
        writeRecorder(stubs.file("record-args-on-path"));
        const char* path = std::getenv("PATH");
        originalPath = path ? path : "";
        ::setenv("PATH", (stubs.path() + ":" + originalPath).c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", originalPath.c_str(), 1);
        OpenPlayTest::TearDown();
    }
    // A program that writes, to a file named after itself in the records folder, its current folder
    // and then each of its arguments on a line of its own, and its process id beside it.
    void writeRecorder(const std::string& path) const {
        test::writeWholeFile(path,
                             "#!/bin/sh\n"
                             "out='" +
                                 records.path() +
                                 "'/$(basename \"$0\")\n"
                                 "echo $$ >\"$out.pid\"\n"
                                 "{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } >\"$out.part\"\n"
                                 "mv \"$out.part\" \"$out\"\n");
        ::chmod(path.c_str(), 0755);
    }
    static bool appearsWithin10s(const std::string& file) {
        for (int wait = 0; wait < 200 && !std::filesystem::exists(file); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return std::filesystem::exists(file);
    }
    // The lines a recorder wrote, once it has; empty if it did not within 10 s.
    Strings recorded(const std::string& program) const {
        const std::string file = records.file(program);
        if (!appearsWithin10s(file))
            return {};
        Strings lines;
        std::string text = test::readWholeFile(file);
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    test::TempFolder stubs;
    test::TempFolder records;
    std::string originalPath;
    LinuxShell desktop;
    OpenPlay realOpenPlay{desktop, player, loop.clock(), settings, state, programFolder.path() + "/", logTo};
};

TEST_F(OpenPlayDesktopTest, ParametersReachTheProgramAsWordsWithNothingRunInThem) {
    realOpenPlay.openFiles(files({"tools/record-args"}, {R"(one "two words" $(touch x) ;y)"}));
    EXPECT_EQ(recorded("record-args"),
              (Strings{programFolder.path(), "one", "two words", "$(touch", "x)", ";y"}));
    EXPECT_FALSE(std::filesystem::exists(programFolder.file("x")));
    EXPECT_FALSE(std::filesystem::exists(elsewhere.file("x")));
}

TEST_F(OpenPlayDesktopTest, AProgramThatEndedIsReapedNotLeftAsAZombie) {
    realOpenPlay.openFiles(files({"tools/record-args"}));
    ASSERT_FALSE(recorded("record-args").empty());
    std::string pid = test::readWholeFile(records.file("record-args.pid"));
    const std::string process = "/proc/" + pid.substr(0, pid.find('\n'));
    for (int wait = 0; wait < 100 && std::filesystem::exists(process); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(std::filesystem::exists(process));
}

TEST_F(OpenPlayDesktopTest, ABareProgramNameIsFoundOnPath) {
    realOpenPlay.openFiles(files({"record-args-on-path"}, {"--alarm %channel"}));
    EXPECT_EQ(recorded("record-args-on-path"), (Strings{programFolder.path(), "--alarm", "Left"}));
}

TEST_F(OpenPlayDesktopTest, ADocumentGoesToXdgOpenWithoutItsParameters) {
    realOpenPlay.openFiles(files({"notes.txt"}, {"--ignored"}));
    EXPECT_EQ(recorded("xdg-open"), (Strings{programFolder.path(), "notes.txt"}));
}

TEST_F(OpenPlayDesktopTest, WithoutTheBuiltInPlayerAnMp3GoesToXdgOpen) {
    settings.general.internalPlayer = false;
    realOpenPlay.openFiles(files({"tone.mp3"}));
    EXPECT_EQ(recorded("xdg-open"), (Strings{programFolder.path(), "tone.mp3"}));
    EXPECT_TRUE(library.starts.empty());
}

// What a file is decides how it opens, not its execute bit: every file on many CIFS, NTFS and exFAT
// mounts has one.
struct FileKind {
    const char* name;
    std::function<std::string()> contents;
    mode_t mode;
    bool openerInstalled;
    // "started", "xdg-open", or the reason logged after "Can't open tools/file - ".
    const char* outcome;
};

class OpenPlayFileKindTest : public OpenPlayDesktopTest, public ::testing::WithParamInterface<FileKind> {
protected:
    test::TempFolder emptyFolder;
};

TEST_P(OpenPlayFileKindTest, OnlyAnElfBinaryOrAScriptIsStartedAnythingElseGoesToTheOpener) {
    const std::string file = programFolder.file("tools/file");
    test::writeWholeFile(file, GetParam().contents());
    ASSERT_EQ(::chmod(file.c_str(), GetParam().mode), 0);
    if (!GetParam().openerInstalled)
        ::setenv("PATH", emptyFolder.path().c_str(), 1);
    // Each program here creates the file its one argument names.
    const std::string started = records.file("started");
    realOpenPlay.openFiles(files({"tools/file"}, {started}));

    const std::string outcome = GetParam().outcome;
    if (outcome == "started") {
        EXPECT_TRUE(appearsWithin10s(started));
        EXPECT_TRUE(log.empty());
    } else if (outcome == "xdg-open") {
        EXPECT_EQ(recorded("xdg-open"), (Strings{programFolder.path(), "tools/file"}));
        EXPECT_TRUE(log.empty());
    } else {
        EXPECT_EQ(log, Strings{"Can't open tools/file - " + outcome});
    }
    EXPECT_EQ(std::filesystem::exists(started), outcome == "started");
    EXPECT_EQ(std::filesystem::exists(records.file("xdg-open")), outcome == "xdg-open");
}

std::string touchScript(const std::string& firstLine) {
    return firstLine + "touch \"$1\"\n";
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenPlayFileKindTest,
    ::testing::Values(
        FileKind{"ElfBinary", [] { return test::readWholeFile("/usr/bin/touch"); }, 0755, true, "started"},
        FileKind{"Script", [] { return touchScript("#!/bin/sh\n"); }, 0755, true, "started"},
        FileKind{"DataFileWithTheExecuteBit", [] { return touchScript(""); }, 0755, true, "xdg-open"},
        FileKind{"EmptyFileWithTheExecuteBit", [] { return std::string(); }, 0755, true, "xdg-open"},
        FileKind{"ScriptWithoutTheExecuteBit", [] { return touchScript("#!/bin/sh\n"); }, 0644, true,
                 "xdg-open"},
        FileKind{"ScriptWhoseInterpreterIsMissing", [] { return touchScript("#!/nonexistent/sh\n"); }, 0755,
                 true, "No such file or directory"},
        FileKind{"DocumentWithoutAnOpener", [] { return std::string("notes"); }, 0644, false,
                 "xdg-open not found"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quietmon
