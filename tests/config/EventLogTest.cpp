#include "config/EventLog.h"

#include "platform/VirtualEventLoop.h"
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

TEST_F(EventLogTest, LineBreaksInTheTextBecomeSpaces) {
    ASSERT_TRUE(log.open(path));
    log.logEvent("a\r\nb\nc\rd");
    EXPECT_EQ(test::readWholeFile(path), "2026-03-14 07:05:09; a  b c d\r\n");
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
