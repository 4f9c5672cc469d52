#include "tasks/openplay/BuiltInMp3Player.h"

#include <exception>

namespace quietmon {

BuiltInMp3Player::BuiltInMp3Player(EventLoop& loop, Mp3Library& library)
    : m_clock(loop.clock()), m_player(library),
      m_mp3StarterTimer(loop.createTimer([this] { onMp3StarterTimer(); })),
      m_mp3WatcherTimer(loop.createTimer([this] { onMp3WatcherTimer(); })) {
    m_mp3StarterTimer->setInterval(timerIntervalMs);
    m_mp3WatcherTimer->setInterval(timerIntervalMs);
}

bool BuiltInMp3Player::create() {
    try {
        m_player.initialise();
    } catch (const std::exception&) {
    }
    return m_player.initialised();
}

void BuiltInMp3Player::start(const std::string& file) {
    m_player.setFileName(file);
    m_player.open();
    m_player.play();
    m_playerBusy = started;
}

void BuiltInMp3Player::playMp3(const std::string& file) {
    if (m_playerBusy <= 0) {
        try {
            start(file);
        } catch (const std::exception&) {
        }
    } else if (m_mp3Queue.size() < maxWaiting) {
        m_mp3Queue.push_back(file);
        m_mp3StarterTimer->setEnabled(true);
        m_mp3WatcherTimer->setEnabled(true);
    }
}

void BuiltInMp3Player::onMp3StarterTimer() {
    if (m_playerBusy > 0)
        return;
    if (m_mp3Queue.empty()) {
        m_mp3StarterTimer->setEnabled(false);
        return;
    }
    // A file that fails to start is not tried again: the next one gets its turn at the next tick.
    try {
        start(m_mp3Queue.front());
    } catch (const std::exception&) {
    }
    m_mp3Queue.pop_front();
}

void BuiltInMp3Player::onMp3WatcherTimer() {
    if (m_playerBusy == 1 && m_mp3Queue.empty())
        m_mp3WatcherTimer->setEnabled(false);
    if (m_playerBusy >= 1 && m_playerBusy <= 4)
        --m_playerBusy;
    try {
        const Mp3PlayerMode mode = m_player.mode();
        if ((mode == Mp3PlayerMode::Ended || mode == Mp3PlayerMode::Stopped) && m_playerBusy == started) {
            m_playerBusy = 4;
            m_player.close();
        }
    } catch (const std::exception&) {
    }
}

void BuiltInMp3Player::stopForReturn() {
    // Files still waiting would start after the return, although the player was to stop playing.
    m_mp3Queue.clear();
    try {
        if (m_player.mode() == Mp3PlayerMode::Playing) {
            m_player.stop();
            m_player.close();
            m_playerBusy = 0;
        }
    } catch (const std::exception&) {
    }
}

void BuiltInMp3Player::windDown() {
    if (!available())
        return;
    m_mp3StarterTimer->setEnabled(false);
    m_mp3WatcherTimer->setEnabled(false);
    if (m_playerBusy == started) {
        try {
            m_player.close();
        } catch (const std::exception&) {
        }
        m_clock.sleep(exitWaitAfterStartMs);
    } else if (m_playerBusy >= 1 && m_playerBusy <= 4) {
        m_clock.sleep(m_playerBusy * 1000);
    }
    try {
        m_player.deinitialise();
    } catch (const std::exception&) {
    }
}

} // namespace quietmon
