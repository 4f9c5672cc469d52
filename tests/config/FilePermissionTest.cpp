#include "config/EventLog.h"
#include "config/SettingsStore.h"
#include "platform/VirtualEventLoop.h"
#include "support/TempFolder.h"
#include "support/Unprivileged.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quietmon {
namespace {

const DateTime savedAt = DateTime::fromParts(2026, 3, 14, 7, 5, 9);

// A data folder holding a settings file with Silence=10, owned by the user the checks run as.
class FilePermissionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(dataFolder);
        test::writeWholeFile(settingsPath, "[Activation]\r\nSilence=10\r\n");
        ::chmod(settingsPath.c_str(), 0600);
        test::giveToUnprivilegedUser(temp.path());
        // Let the unprivileged user reach the folder under the system's temporary folder.
        ::chmod(temp.path().c_str(), 0755);
    }

    Settings settingsWithSilence(int seconds) {
        Settings settings = defaultSettings("X");
        settings.activation.silence = seconds;
        return settings;
    }

    test::TempFolder temp;
    std::string dataFolder = temp.file("data");
    std::string settingsPath = dataFolder + "/quietmon.ini";
};

TEST_F(FilePermissionTest, AFolderMadeReadOnlyMidRunStillSavesIntoTheWritableFile) {
    const int saved = test::runUnprivileged([&] {
        ::chmod(dataFolder.c_str(), 0500);
        return SettingsFile(settingsPath).save(settingsWithSilence(20), savedAt).saved ? 0 : 1;
    });
    EXPECT_EQ(saved, 0);
    const IniFile file = IniFile::parse(test::readWholeFile(settingsPath));
    EXPECT_EQ(file.read("Activation", "Silence"), "20");
    EXPECT_EQ(file.read("Tasks", "Task32"), ""); // the whole file, to its last key
    EXPECT_TRUE(file.read("RetTasks", "Task8"));
}

TEST_F(FilePermissionTest, ASaveThatCannotWriteAtAllLeavesTheOldFileWhole) {
    const std::string before = test::readWholeFile(settingsPath);
    const int saved = test::runUnprivileged([&] {
        ::chmod(settingsPath.c_str(), 0400);
        ::chmod(dataFolder.c_str(), 0500);
        return SettingsFile(settingsPath).save(settingsWithSilence(20), savedAt).saved ? 0 : 1;
    });
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(test::readWholeFile(settingsPath), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dataFolder), {}), 1);
}

TEST_F(FilePermissionTest, AReadOnlyFileInAWritableFolderIsReplacedWhole) {
    // The folder allows a new file to take the old one's place; the old one is never cut short.
    const int saved = test::runUnprivileged([&] {
        ::chmod(settingsPath.c_str(), 0400);
        return SettingsFile(settingsPath).save(settingsWithSilence(20), savedAt).saved ? 0 : 1;
    });
    EXPECT_EQ(saved, 0);
    EXPECT_EQ(IniFile::parse(test::readWholeFile(settingsPath)).read("Activation", "Silence"), "20");
}

TEST_F(FilePermissionTest, AnEditedFileThatCannotBeCopiedIsNotSavedOver) {
    const int outcome = test::runUnprivileged([&] {
        SettingsFile file(settingsPath);
        file.load();
        test::writeWholeFile(settingsPath, "[Activation]\r\nSilence=15\r\n"); // edited by hand
        ::chmod(dataFolder.c_str(), 0500);                                    // no room for a copy beside it
        const SettingsFile::SaveOutcome saved = file.save(settingsWithSilence(20), savedAt);
        return saved.editedCopyFailed && !saved.saved ? 0 : 1;
    });
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(test::readWholeFile(settingsPath), "[Activation]\r\nSilence=15\r\n");
}

TEST_F(FilePermissionTest, ALogInAnUnwritableFolderLeavesLoggingOffWithoutFailing) {
    const int active = test::runUnprivileged([&] {
        ::chmod(dataFolder.c_str(), 0500);
        VirtualEventLoop loop;
        EventLog log(loop.clock());
        log.open(dataFolder + "/quietmon.log");
        log.logEvent("lost");
        return log.loggingActive() ? 1 : 0;
    });
    EXPECT_EQ(active, 0);
    EXPECT_FALSE(std::filesystem::exists(dataFolder + "/quietmon.log"));
}

} // namespace
} // namespace quietmon
