// The screenshot task's steps in virtual time over a fake screen, writing real files.
#include "tasks/screenshot/ScreenshotSaver.h"

#include "fakes/FakeScreenCapture.h"
#include "platform/linux/LibJpegEncoding.h"
#include "runtime/VirtualEventLoop.h"
#include "support/TempFolder.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quietmon {
namespace {

using Strings = std::vector<std::string>;
using namespace std::string_literals;

class ScreenshotSaverTest : public ::testing::Test {
protected:
    ScreenshotSaverTest() {
        screen.record = [this](const std::string& what) { record(what); };
    }
    void record(const std::string& what) { events.push_back(what + "@" + std::to_string(loop.elapsedMs())); }
    Strings folderEntries() const {
        Strings names;
        for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempFolder temp;
    VirtualEventLoop loop;
    test::FakeScreenCapture screen;
    LibJpegEncoder jpeg;
    Strings events;
    Strings log;
    ScreenshotSaver saver{screen,
                          jpeg,
                          loop.clock(),
                          [this](std::string_view text) {
                              record("expand");
                              return std::string(text);
                          },
                          [this] { record("repaint"); },
                          [this] { return temp.path() + "/"; },
                          [this](const std::string& text) { log.push_back(text); }};
};

TEST_F(ScreenshotSaverTest, AnEmptyFileNameTakesNoPicture) {
    EXPECT_FALSE(saver.saveScreenshot({"", true}));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(loop.elapsedMs(), 0);
}

TEST_F(ScreenshotSaverTest, TheKeyStrokeComesTwoSecondsBeforeTheCaptureWhichComesBeforeTheName) {
    for (const auto& [deactivate, expected] :
         {std::pair{false, Strings{"capture@0", "expand@0"}},
          std::pair{true, Strings{"shift@0", "repaint@2000", "capture@2000", "expand@2000"}}}) {
        events.clear();
        const std::int64_t start = loop.elapsedMs();
        EXPECT_TRUE(saver.saveScreenshot({temp.file("shot.bmp"), deactivate}));
        for (std::string& event : events) {
            const std::size_t at = event.find('@');
            event = event.substr(0, at + 1) + std::to_string(std::stoll(event.substr(at + 1)) - start);
        }
        EXPECT_EQ(events, expected) << "deactivate " << deactivate;
    }
}

TEST_F(ScreenshotSaverTest, AJpegThatCannotBeMadeIsWrittenAsABitmapUnderTheNamePlusBmp) {
    std::filesystem::create_directory(temp.file("folder.jpg"));
    struct Case {
        const char* what;
        ScreenImage image;
        std::string name;
    };
    // JPEG pictures end at 65500 pixels a side; a folder cannot be replaced by a file.
    for (const Case& c : {Case{"too wide for JPEG", test::FakeScreenCapture::filled(65501, 1, 9, 9, 9),
                               temp.file("wide.JPG")},
                          Case{"a folder of that name", screen.image, temp.file("folder.jpg")}}) {
        screen.image = c.image;
        saver.saveScreenshot({c.name, false});
        EXPECT_EQ(test::readWholeFile(c.name + ".bmp").substr(0, 2), "BM") << c.what;
    }
    EXPECT_FALSE(std::filesystem::exists(temp.file("wide.JPG")));
    EXPECT_TRUE(std::filesystem::is_directory(temp.file("folder.jpg")));
    EXPECT_TRUE(log.empty()); // the picture is there, under the bitmap's name
}

TEST_F(ScreenshotSaverTest, ABitmapHoldsTheScreenBottomRowFirstInBlueGreenRedWithRowsPaddedToFourBytes) {
    screen.image = {2, 2, {1, 2, 3, 4, 5, 6, /**/ 7, 8, 9, 10, 11, 12}};
    saver.saveScreenshot({temp.file("shot.png"), false});
    const std::string bmp = test::readWholeFile(temp.file("shot.png"));
    const std::string header = "BM"
                               "\x46\0\0\0"s
                               "\0\0\0\0"s
                               "\x36\0\0\0"s
                               "\x28\0\0\0"s
                               "\x02\0\0\0"s
                               "\x02\0\0\0"s
                               "\x01\0\x18\0"s
                               "\0\0\0\0"s
                               "\x10\0\0\0"s;
    ASSERT_EQ(bmp.size(), 0x46u);
    EXPECT_EQ(bmp.substr(0, header.size()), header);
    EXPECT_EQ(bmp.substr(0x36), "\x09\x08\x07\x0c\x0b\x0a\0\0\x03\x02\x01\x06\x05\x04\0\0"s);
}

// The current folder is the program's while files are opened: no place a user may write to.
TEST_F(ScreenshotSaverTest, ARelativeNameIsWrittenInTheDataFolderWhateverFolderIsCurrent) {
    const auto previous = std::filesystem::current_path();
    test::TempFolder current;
    std::filesystem::current_path(current.path());
    saver.saveScreenshot({"relative.bmp", false});
    std::filesystem::current_path(previous);
    EXPECT_EQ(folderEntries(), Strings{"relative.bmp"});
    EXPECT_TRUE(std::filesystem::is_empty(current.path()));
    EXPECT_TRUE(log.empty());
}

// Run in a child whose files may not grow past 4 KiB, as on a full disk.
bool saveWithFilesLimitedTo4KiB(ScreenshotSaver& saver, const std::string& name) {
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        saver.saveScreenshot({name, false});
        _exit(0);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(ScreenshotSaverTest, APictureThatCannotBeWrittenWholeLeavesTheOldOneAsItWas) {
    screen.image = test::FakeScreenCapture::filled(100, 100, 1, 2, 3); // 30 KB as a bitmap
    test::writeWholeFile(temp.file("shot.bmp"), "the last good picture");

    ASSERT_TRUE(saveWithFilesLimitedTo4KiB(saver, temp.file("shot.bmp")));
    EXPECT_EQ(test::readWholeFile(temp.file("shot.bmp")), "the last good picture");
    EXPECT_EQ(folderEntries(), Strings{"shot.bmp"});

    saver.saveScreenshot({temp.file("shot.bmp"), false});
    EXPECT_EQ(test::readWholeFile(temp.file("shot.bmp")).size(), 54u + 100u * 300u);
    EXPECT_EQ(folderEntries(), Strings{"shot.bmp"});
}

} // namespace
} // namespace quietmon
