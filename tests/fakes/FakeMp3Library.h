#pragma once

#include "platform/Mp3Library.h"
#include "runtime/FileSystem.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace quietmon::test {

// An mp3 library whose every file plays for `fileLengthMs` of the test's clock, recording what it was
// asked to do.
class FakeMp3Library final : public Mp3Library {
public:
    struct Start {
        std::string file;
        std::int64_t atMs;
    };

    explicit FakeMp3Library(std::function<std::int64_t()> now) : m_now(std::move(now)) {}

    bool load() override { return loads; }
    bool initialise() override { return initialises; }
    bool deinitialise() override {
        ++deinitialisations;
        return true;
    }
    bool open(const std::string& file) override {
        m_file = file;
        m_mode = Mp3PlayerMode::Stopped;
        openedExisting.push_back(fileExists(file));
        return true;
    }
    bool play() override {
        if (unplayable.contains(m_file))
            return false;
        m_mode = Mp3PlayerMode::Playing;
        m_startedAtMs = m_now();
        starts.push_back({m_file, m_startedAtMs});
        return true;
    }
    bool stop() override {
        ++stops;
        m_mode = Mp3PlayerMode::Stopped;
        return true;
    }
    bool close() override {
        ++closes;
        m_mode = Mp3PlayerMode::NothingOpen;
        return true;
    }
    Mp3PlayerMode mode() override {
        ++modeQueries;
        if (m_mode == Mp3PlayerMode::Playing && m_now() - m_startedAtMs >= fileLengthMs)
            m_mode = Mp3PlayerMode::Ended;
        return m_mode;
    }

    std::vector<std::string> startedFiles() const {
        std::vector<std::string> files;
        for (const Start& start : starts)
            files.push_back(start.file);
        return files;
    }

    bool loads = true;
    bool initialises = true;
    std::set<std::string> unplayable;
    std::int64_t fileLengthMs = 10'000;

    std::vector<Start> starts;
    std::vector<bool> openedExisting; // whether each opened name was an existing file at that moment
    int stops = 0;
    int closes = 0;
    int deinitialisations = 0;
    int modeQueries = 0;

private:
    std::function<std::int64_t()> m_now;
    std::string m_file;
    Mp3PlayerMode m_mode = Mp3PlayerMode::NothingOpen;
    std::int64_t m_startedAtMs = 0;
};

} // namespace quietmon::test
