#include "config/Folders.h"

#include "support/EnvironmentOverride.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quietmon {
namespace {

// Restores the current folder, which creating a data folder changes.
class FoldersTest : public ::testing::Test {
protected:
    void SetUp() override { m_savedFolder = std::filesystem::current_path(); }
    void TearDown() override { std::filesystem::current_path(m_savedFolder); }

    test::TempFolder temp;

private:
    std::filesystem::path m_savedFolder;
};

TEST_F(FoldersTest, TheProgramFolderEndsWithASlash) {
    EXPECT_EQ(programFolderOf("/usr/local/lib/quietmon/quietmon"), "/usr/local/lib/quietmon/");
    EXPECT_EQ(programFolderOf("/quietmon"), "/");
}

TEST_F(FoldersTest, TheDataFolderIsNamedAfterTheProgramsFolderAndCreatedPrivate) {
    const std::string base = temp.file("share");
    std::filesystem::create_directory(base);
    const std::string folder = determineDataFolder("/opt/Monitor/quietmon", base);
    EXPECT_EQ(folder, base + "/Monitor/");
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(FoldersTest, CreatingTheDataFolderMakesItsParentTheCurrentFolder) {
    const std::string base = temp.file("share");
    std::filesystem::create_directory(base);
    determineDataFolder("/opt/quietmon/quietmon", base);
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(base));
}

TEST_F(FoldersTest, AnExistingDataFolderLeavesTheCurrentFolderAlone) {
    const std::string base = temp.file("share");
    std::filesystem::create_directories(base + "/quietmon");
    const auto before = std::filesystem::current_path();
    EXPECT_EQ(determineDataFolder("/opt/quietmon/quietmon", base), base + "/quietmon/");
    EXPECT_EQ(std::filesystem::current_path(), before);
}

TEST_F(FoldersTest, AMissingBaseFolderIsCreatedToo) {
    const std::string base = temp.file("home/.local/share");
    EXPECT_EQ(determineDataFolder("/opt/quietmon/quietmon", base + "/"), base + "/quietmon/");
    EXPECT_TRUE(std::filesystem::is_directory(base + "/quietmon"));
}

TEST_F(FoldersTest, WithoutABaseTheProgramFolderIsUsed) {
    EXPECT_EQ(determineDataFolder("/opt/quietmon/quietmon", ""), "/opt/quietmon/");
}

TEST_F(FoldersTest, AnExecutableAtTheRootNamesTheFolderAfterItsFileName) {
    const std::string base = temp.file("share");
    EXPECT_EQ(determineDataFolder("/quietmon.bin", base), base + "/quietmon_bin/");
}

TEST_F(FoldersTest, CopiesInFoldersOfTheSameNameShareOneDataFolder) {
    const std::string base = temp.file("share");
    EXPECT_EQ(determineDataFolder("/srv/a/Monitor/quietmon", base),
              determineDataFolder("/srv/b/Monitor/quietmon", base));
}

TEST_F(FoldersTest, TheSettingsFileAndLogLiveInTheDataFolder) {
    const Folders folders{"/opt/quietmon/", "/home/op/.local/share/quietmon/"};
    EXPECT_EQ(folders.settingsFile(), "/home/op/.local/share/quietmon/quietmon.ini");
    EXPECT_EQ(folders.logFile(), "/home/op/.local/share/quietmon/quietmon.log");
}

TEST_F(FoldersTest, AMonitorsNameCanNeverLeaveItsFolder) {
    for (const std::string& name :
         std::vector<std::string>{"a", "studio-b_2", "Stream9", std::string(32, 'x')})
        EXPECT_EQ(instanceNameFailure(name), "") << name;
    for (const std::string& name : std::vector<std::string>{"", "a/b", "..", ".", "x y", "tab\tx",
                                                            "caf\xc3\xa9", std::string(33, 'x'), "default"})
        EXPECT_NE(instanceNameFailure(name), "") << name;
}

TEST_F(FoldersTest, ASelectedMonitorHasItsOwnFolderInsideTheUnnamedOnes) {
    const test::EnvironmentOverride base("XDG_DATA_HOME", temp.file("share"));
    const Folders unnamed = currentFoldersAsTheyAre();
    selectInstance("stream");
    const Folders named = currentFolders();
    selectInstance("");
    EXPECT_EQ(named.instanceName, "stream");
    EXPECT_EQ(named.programFolder, unnamed.programFolder);
    EXPECT_EQ(named.dataFolder, unnamed.dataFolder + "instances/stream/");
    EXPECT_EQ(named.settingsFile(), named.dataFolder + "quietmon.ini");
    EXPECT_TRUE(std::filesystem::is_directory(named.dataFolder));
    EXPECT_EQ(currentFoldersAsTheyAre().dataFolder, unnamed.dataFolder);
}

} // namespace
} // namespace quietmon
