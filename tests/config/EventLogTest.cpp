#include "config/EventLog.h"

#include "runtime/VirtualEventLoop.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quietmon {
namespace {

class EventLogTest : public ::testing::Test {
protected:
    test::TempFolder folder;
    std::string path = folder.file("quietmon.log");
    VirtualEventLoop loop{DateTime::fromParts(2026, 3, 14, 7, 5, 9)};
    EventLog log{loop.clock()};
};

TEST_F(EventLogTest, WritesDateTimeSemicolonAndTextWithCrLf) {
    ASSERT_TRUE(log.open(path));
    EXPECT_TRUE(log.loggingActive());
    log.logEvent("Returned from alarm condition");
    EXPECT_EQ(test::readWholeFile(path), "2026-03-14 07:05:09; Returned from alarm condition\r\n");
}

TEST_F(EventLogTest, EachLineIsInTheFileWhenTheCallReturns) {
    ASSERT_TRUE(log.open(path));
    log.logEvent("first");
    loop.advance(61'000);
    log.logEvent("second");
    EXPECT_EQ(test::readWholeFile(path), "2026-03-14 07:05:09; first\r\n2026-03-14 07:06:10; second\r\n");
}

struct PrintableCase {
    std::string text;
    std::string logged;
};

// Texts from outside (a server's reply) can hold anything; the log holds no terminal control sequence.
const PrintableCase printableCases[] = {
    {"a\r\nb\nc\rd", "a  b c d"},                                 // one event, one line
    {"tab\there", "tab here"},                                    // a tab too
    {"\x1b[2J\x1b[31mred\x1b[0m", "[2J[31mred[0m"},               // ESC is dropped, the rest is plain text
    {"\x1b]0;title\x07!", "]0;title!"},                           // BEL and the other C0 controls
    {std::string("nul\0\x01\x1f\x7f!", 8), "nul!"},               // NUL, SOH, US, DEL
    {"caf\xe9 Gr\xc3\xbc\xc3\x9f", "caf\xe9 Gr\xc3\xbc\xc3\x9f"}, // Latin-1 and UTF-8 stay
};

TEST_F(EventLogTest, LineBreaksAndTabsBecomeSpacesAndOtherControlCharactersAreDropped) {
    ASSERT_TRUE(log.open(path));
    std::string expected;
    for (const PrintableCase& c : printableCases) {
        log.logEvent(c.text);
        expected += "2026-03-14 07:05:09; " + c.logged + "\r\n";
    }
    EXPECT_EQ(test::readWholeFile(path), expected);
}

TEST_F(EventLogTest, AFullLogMovesToDotOneAndTheOldestOfFiveIsDropped) {
    EventLog small(loop.clock(), 100); // two lines of 50 bytes
    ASSERT_TRUE(small.open(path));
    const auto line = [](int number) {
        return "2026-03-14 07:05:09; line " + std::string(number < 10 ? "0" : "") + std::to_string(number) +
               std::string(20, '.') + "\r\n";
    };
    for (int number = 1; number <= 14; ++number)
        small.logEvent(line(number).substr(21, 27));
    EXPECT_EQ(test::readWholeFile(path), line(13) + line(14));
    for (int old = 1; old <= 5; ++old)
        EXPECT_EQ(test::readWholeFile(path + "." + std::to_string(old)),
                  line(13 - 2 * old) + line(14 - 2 * old));
    EXPECT_FALSE(std::filesystem::exists(path + ".6"));
}

TEST_F(EventLogTest, ALogAlreadyOverTheLimitIsRotatedAtItsFirstNewLine) {
    test::writeWholeFile(path, std::string(150, '-'));
    EventLog small(loop.clock(), 100);
    ASSERT_TRUE(small.open(path));
    small.logEvent("Exit");
    EXPECT_EQ(test::readWholeFile(path + ".1"), std::string(150, '-'));
    EXPECT_EQ(test::readWholeFile(path), "2026-03-14 07:05:09; Exit\r\n");
}

TEST_F(EventLogTest, AnExistingLogKeepsItsContent) {
    test::writeWholeFile(path, "old line\r\n");
    ASSERT_TRUE(log.open(path));
    log.logEvent("Exit");
    EXPECT_EQ(test::readWholeFile(path), "old line\r\n2026-03-14 07:05:09; Exit\r\n");
}

TEST_F(EventLogTest, ANewLogIsPrivateToItsOwner) {
    ASSERT_TRUE(log.open(path));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(EventLogTest, ALogNeverOpenedDiscardsTextsAndCreatesNoFile) {
    log.logEvent("Alarm activated (silent channel(s): Left and Right)");
    EXPECT_FALSE(log.loggingActive());
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(EventLogTest, AFailedOpenLeavesLoggingOff) {
    EXPECT_FALSE(log.open(folder.file("missing/quietmon.log")));
    EXPECT_FALSE(log.loggingActive());
    log.logEvent("lost");
}

TEST_F(EventLogTest, TextsAfterClosingAreDiscarded) {
    ASSERT_TRUE(log.open(path));
    log.logEvent("Exit");
    log.close();
    EXPECT_FALSE(log.loggingActive());
    log.logEvent("too late");
    EXPECT_EQ(test::readWholeFile(path), "2026-03-14 07:05:09; Exit\r\n");
}

} // namespace
} // namespace quietmon
