#include "platform/linux/SingleInstance.h"

#include "support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quietmon {
namespace {

// Keeps the locks of these tests in a folder of their own.
class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* previous = std::getenv("XDG_RUNTIME_DIR");
        m_previous = previous ? previous : "";
        ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    }
    void TearDown() override {
        if (m_previous.empty())
            ::unsetenv("XDG_RUNTIME_DIR");
        else
            ::setenv("XDG_RUNTIME_DIR", m_previous.c_str(), 1);
    }
    test::TempFolder runtime;

private:
    std::string m_previous;
};

TEST_F(SingleInstanceTest, TheLockIsNamedAfterTheByteSumOfTheFolder) {
    // '/' is 47, 'a' 97: 47 + 97 + 47 = 191.
    EXPECT_TRUE(instanceLockName("/a/").starts_with("s191-"));
}

TEST_F(SingleInstanceTest, FoldersWithTheSameByteSumGetDifferentLocks) {
    EXPECT_NE(instanceLockName("/ab/"), instanceLockName("/ba/"));
    std::unique_ptr<SingleInstanceLock> first, second;
    EXPECT_EQ(acquireSingleInstance("/ab/", first), InstanceCheck::First);
    EXPECT_EQ(acquireSingleInstance("/ba/", second), InstanceCheck::First);
}

TEST_F(SingleInstanceTest, ASecondLockOnTheSameFolderIsRefusedUntilTheFirstIsReleased) {
    std::unique_ptr<SingleInstanceLock> first, second;
    ASSERT_EQ(acquireSingleInstance("/opt/quietmon/", first), InstanceCheck::First);
    EXPECT_EQ(acquireSingleInstance("/opt/quietmon/", second), InstanceCheck::AlreadyRunning);
    EXPECT_FALSE(second);
    first.reset();
    EXPECT_EQ(acquireSingleInstance("/opt/quietmon/", second), InstanceCheck::First);
}

TEST_F(SingleInstanceTest, EachNameOfAnInstallationHasALockOfItsOwn) {
    std::unique_ptr<SingleInstanceLock> unnamed, studio, stream, again;
    ASSERT_EQ(acquireSingleInstance("/opt/quietmon/", unnamed), InstanceCheck::First);
    ASSERT_EQ(acquireSingleInstance("/opt/quietmon/", studio, "studio"), InstanceCheck::First);
    EXPECT_EQ(acquireSingleInstance("/opt/quietmon/", stream, "stream"), InstanceCheck::First);
    EXPECT_EQ(acquireSingleInstance("/opt/quietmon/", again, "studio"), InstanceCheck::AlreadyRunning);
    EXPECT_EQ(acquireSingleInstance("/opt/other/", again, "studio"), InstanceCheck::First);
}

TEST_F(SingleInstanceTest, AskingWhetherAMonitorRunsLeavesItsLockAlone) {
    std::unique_ptr<SingleInstanceLock> studio, second;
    EXPECT_FALSE(instanceRuns("/opt/quietmon/", "studio")); // never started
    ASSERT_EQ(acquireSingleInstance("/opt/quietmon/", studio, "studio"), InstanceCheck::First);
    EXPECT_TRUE(instanceRuns("/opt/quietmon/", "studio"));
    EXPECT_FALSE(instanceRuns("/opt/quietmon/", "stream"));
    studio.reset();
    EXPECT_FALSE(instanceRuns("/opt/quietmon/", "studio"));
    EXPECT_EQ(acquireSingleInstance("/opt/quietmon/", second, "studio"), InstanceCheck::First);
}

TEST_F(SingleInstanceTest, AFolderReachedThroughALinkIsLockedAsTheFolderItself) {
    const std::string folder = runtime.file("data");
    std::filesystem::create_directory(folder);
    std::filesystem::create_directory_symlink(folder, runtime.file("link"));
    std::unique_ptr<SingleInstanceLock> first, second;
    ASSERT_EQ(acquireFolderLock(folder + "/", first), InstanceCheck::First);
    EXPECT_EQ(acquireFolderLock(runtime.file("link") + "/", second), InstanceCheck::AlreadyRunning);
    first.reset();
    EXPECT_EQ(acquireFolderLock(runtime.file("link") + "/", second), InstanceCheck::First);
}

TEST_F(SingleInstanceTest, ALockFolderOthersCouldWriteToIsNotUsed) {
    ::chmod(runtime.path().c_str(), 0777);
    const std::string shared = runtime.file("quietmon");
    ::mkdir(shared.c_str(), 0777);
    ::chmod(shared.c_str(), 0777);
    std::unique_ptr<SingleInstanceLock> lock;
    EXPECT_EQ(acquireSingleInstance("/opt/quietmon/", lock), InstanceCheck::LockUnavailable);
}

} // namespace
} // namespace quietmon
