#include "config/EventLog.h"
#include "config/SettingsStore.h"
#include "runtime/VirtualEventLoop.h"
#include "support/TempFolder.h"
#include "support/Unprivileged.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
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
        settings.activation.silenceSeconds = seconds;
        return settings;
    }

    test::TempFolder temp;
    std::string dataFolder = temp.file("data");
    std::string settingsPath = dataFolder + "/quietmon.ini";
};

// A file-size limit stands in for a full disk: a write past it fails as one on a full disk does (the
// kernel's EFBIG rather than ENOSPC), once SIGXFSZ no longer ends the process.
struct SaveCase {
    const char* what;
    bool folderWritable;
    bool fileWritable;
    rlim_t fileSizeLimit; // the new file is about 2 KB
    const char* failure;  // empty: saved
};

const SaveCase saveCases[] = {
    {"a full disk", true, true, 1024, "File too large"},
    {"a read-only file: replaced whole by a new one", true, false, RLIM_INFINITY, ""},
    {"a read-only folder: rewritten in place", false, true, RLIM_INFINITY, ""},
    {"a full disk under a read-only folder", false, true, 1024, "File too large"},
    {"a read-only folder and file", false, false, RLIM_INFINITY, "Permission denied"},
};

TEST_F(FilePermissionTest, ASaveThatCannotBeWrittenLeavesTheOldFileWholeAndSaysWhy) {
    const std::string before = test::readWholeFile(settingsPath);
    for (const SaveCase& c : saveCases) {
        const int matched = test::runInChild([&] {
            return test::runUnprivileged([&] {
                ::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{c.fileSizeLimit, c.fileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                ::chmod(settingsPath.c_str(), c.fileWritable ? 0600 : 0400);
                ::chmod(dataFolder.c_str(), c.folderWritable ? 0700 : 0500);
                const auto outcome = SettingsFile(settingsPath).save(settingsWithSilence(20), savedAt);
                return outcome.saved == (*c.failure == '\0') && outcome.failure == c.failure ? 0 : 1;
            });
        });
        EXPECT_EQ(matched, 0) << c.what;
        ::chmod(dataFolder.c_str(), 0700);
        ::chmod(settingsPath.c_str(), 0600);
        const IniFile file = IniFile::parse(test::readWholeFile(settingsPath));
        if (*c.failure == '\0') {
            EXPECT_EQ(file.read("Activation", "Silence"), "20") << c.what;
            EXPECT_TRUE(file.read("RetTasks", "Task8")) << c.what; // the whole file, to its last key
        } else {
            EXPECT_EQ(test::readWholeFile(settingsPath), before) << c.what;
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dataFolder), {}), 1) << c.what;
        test::writeWholeFile(settingsPath, before);
    }
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

TEST_F(FilePermissionTest, ALogThatCannotBeRotatedGrowsOnWithoutLosingALine) {
    const std::string logPath = dataFolder + "/quietmon.log";
    test::writeWholeFile(logPath, std::string(200, '-') + "\r\n");
    test::giveToUnprivilegedUser(temp.path());
    const int active = test::runUnprivileged([&] {
        ::chmod(dataFolder.c_str(), 0500); // the log stays writable, but cannot be renamed
        VirtualEventLoop loop{DateTime::fromParts(2026, 3, 14, 7, 5, 9)};
        EventLog log(loop.clock(), 100);
        log.open(logPath);
        log.logEvent("kept");
        log.logEvent("kept too");
        return log.loggingActive() ? 0 : 1;
    });
    EXPECT_EQ(active, 0);
    EXPECT_EQ(test::readWholeFile(logPath),
              std::string(200, '-') + "\r\n2026-03-14 07:05:09; kept\r\n2026-03-14 07:05:09; kept too\r\n");
    EXPECT_FALSE(std::filesystem::exists(logPath + ".1"));
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
