#include "platform/linux/SingleInstance.h"

#include "support/TempFolder.h"

#include <cstdlib>
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
