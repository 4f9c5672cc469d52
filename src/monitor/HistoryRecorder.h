#pragma once

#include "monitor/AlarmHistory.h"
#include "monitor/LevelHistoryFile.h"
#include "runtime/EventLoop.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quietmon {

// Keeps the level history and the alarm history of the running program in its data folder. Each
// measurement raises its second's levels; a second is recorded once the next one begins. Records reach the
// file once a minute and at once after each alarm and return, so a crash loses at most a minute. A file
// that cannot be made or written costs a log line, never the monitoring.
class HistoryRecorder {
public:
    using Log = std::function<void(const std::string&)>;
    static constexpr int writeIntervalMs = 60'000;
    // A measurement this much later than the one before it while the program runs: the clock moved on.
    static constexpr std::int64_t clockSkipSeconds = 300;
    // Seconds without a measurement (a meter polled slowly) that keep the level last measured.
    static constexpr std::int64_t heldSeconds = 5;
    static constexpr std::size_t recentLimit = 660;

    static std::string levelHistoryPath(const std::string& dataFolder) {
        return dataFolder + "quietmon-levels.bin";
    }
    static std::string alarmHistoryPath(const std::string& dataFolder) {
        return dataFolder + "quietmon-alarms.txt";
    }

    HistoryRecorder(EventLoop& loop, Log log);

    // Opens (or makes) both files in `dataFolder` and starts the minute's writes.
    void start(const std::string& dataFolder);
    bool started() const { return m_started; }
    // Measurements are taken whether or not the files are kept, for the recent seconds.
    void onMeasurement(DateTime now, int dbLeft, int dbRight, bool alarmActive, bool inputLost);
    // The seconds of about the last ten minutes, oldest first, the one under way last.
    std::vector<LevelSecond> recentSeconds() const;
    void alarmRaised(DateTime at, const std::string& silentChannels, bool inputLost);
    void alarmReturned(DateTime at);
    // Writes what is still in memory; for the exit.
    void stop();

private:
    void closeSecond(const LevelSecond& level);
    void writeLevels();
    void report(bool written, const std::string& failure);

    EventLoop& m_loop;
    Log m_log;
    std::unique_ptr<Timer> m_writeTimer;
    std::string m_levelPath;
    LevelHistoryFile m_levels;
    AlarmHistoryFile m_alarms;
    std::optional<LevelSecond> m_current;
    std::deque<LevelSecond> m_recent;
    bool m_started = false;
    bool m_inputLostInAlarm = false;
    std::string m_lastFailure; // logged once until a write succeeds again
};

} // namespace quietmon
