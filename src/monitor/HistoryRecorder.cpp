#include "monitor/HistoryRecorder.h"

#include <algorithm>

namespace quietmon {

HistoryRecorder::HistoryRecorder(EventLoop& loop, Log log)
    : m_loop(loop), m_log(std::move(log)), m_writeTimer(loop.createTimer([this] { writeLevels(); })) {
    m_writeTimer->setInterval(writeIntervalMs);
}

void HistoryRecorder::start(const std::string& dataFolder) {
    m_started = true;
    m_alarms.setPath(alarmHistoryPath(dataFolder));
    m_levelPath = levelHistoryPath(dataFolder);
    m_levels.open(m_levelPath, m_loop.clock().now(), m_log);
    m_writeTimer->setEnabled(true);
}

void HistoryRecorder::onMeasurement(DateTime now, int dbLeft, int dbRight, bool alarmActive, bool inputLost) {
    if (alarmActive && inputLost)
        m_inputLostInAlarm = true;
    const std::int64_t second = secondOf(now);
    if (m_current && second == m_current->second) {
        m_current->dbLeft = std::max(m_current->dbLeft, dbLeft);
        m_current->dbRight = std::max(m_current->dbRight, dbRight);
        m_current->alarmActive = m_current->alarmActive || alarmActive;
        m_current->inputLost = m_current->inputLost || inputLost;
        return;
    }
    if (m_current) {
        closeSecond(*m_current);
        const std::int64_t gap = second - m_current->second - 1;
        if (gap >= clockSkipSeconds && m_started)
            m_levels.noteClockJump({m_current->second, gap});
        for (std::int64_t held = 1; gap <= heldSeconds && held <= gap; ++held) {
            LevelSecond repeated = *m_current;
            repeated.second += held;
            closeSecond(repeated);
        }
    }
    m_current = LevelSecond{second, dbLeft, dbRight, alarmActive, inputLost};
}

void HistoryRecorder::closeSecond(const LevelSecond& level) {
    m_recent.push_back(level);
    if (m_recent.size() > recentLimit)
        m_recent.pop_front();
    if (m_started)
        m_levels.add(level);
}

std::vector<LevelSecond> HistoryRecorder::recentSeconds() const {
    std::vector<LevelSecond> seconds(m_recent.begin(), m_recent.end());
    if (m_current)
        seconds.push_back(*m_current);
    return seconds;
}

void HistoryRecorder::alarmRaised(DateTime at, const std::string& silentChannels, bool inputLost) {
    if (!m_started)
        return;
    m_inputLostInAlarm = inputLost;
    std::string failure;
    report(m_alarms.recordStart(at, silentChannels, inputLost, failure), failure);
    writeLevels();
}

void HistoryRecorder::alarmReturned(DateTime at) {
    if (!m_started)
        return;
    std::string failure;
    report(m_alarms.recordEnd(at, m_inputLostInAlarm, failure), failure);
    m_inputLostInAlarm = false;
    writeLevels();
}

void HistoryRecorder::stop() {
    if (!m_started)
        return;
    writeLevels();
    m_current.reset();
    m_writeTimer->setEnabled(false);
    m_started = false;
}

void HistoryRecorder::writeLevels() {
    if (!m_started)
        return;
    // The second under way goes too, so that the moment of an alarm is in the file at once; it is written
    // again, whole, when the next second begins.
    if (m_current)
        m_levels.add(*m_current);
    std::string failure;
    // A file that could not be made is tried again, so that history resumes once the disk has room.
    if (!m_levels.isOpen() && !m_levels.open(m_levelPath, m_loop.clock().now(), [](const std::string&) {}))
        return;
    report(m_levels.write(failure), failure);
}

void HistoryRecorder::report(bool written, const std::string& failure) {
    if (written) {
        m_lastFailure.clear();
        return;
    }
    if (failure != m_lastFailure)
        m_log("History not written - " + failure);
    m_lastFailure = failure;
}

} // namespace quietmon
