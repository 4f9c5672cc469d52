#pragma once

#include "platform/Mp3Library.h"
#include "runtime/EventLoop.h"
#include "tasks/openplay/Mp3Player.h"

#include <deque>
#include <memory>
#include <string>

namespace quietmon {

// The built-in mp3 player as the tasks use it: one file plays, up to 20 more wait and follow one another.
// The library reports nothing by itself, so the end of a file is found by asking its mode once a second
// (`mp3WatcherTimer`); the next waiting file starts on `mp3StarterTimer` once the player has settled for
// four seconds after that end. Every player error is dropped.
class BuiltInMp3Player {
public:
    static constexpr int maxWaiting = 20;
    static constexpr int timerIntervalMs = 1000;
    // `playerBusy`: 0 idle; `started` from a start until the watcher sees the end; then 4 down to 1,
    // one less each watcher tick.
    static constexpr int started = 5;
    static constexpr int exitWaitAfterStartMs = 5000;

    BuiltInMp3Player(EventLoop& loop, Mp3Library& library);

    // Loads and initialises the library, once at start-up; whether the player can be used.
    bool create();
    bool available() const { return m_player.initialised(); }

    // Plays the file now if the player is idle, else queues it (both timers on); a 21st waiting file is
    // dropped without notice.
    void playMp3(const std::string& file);
    // The return from the alarm: a file that plays is stopped and closed. The waiting files are discarded
    // whether one plays or the player is settling between two of them.
    void stopForReturn();
    // The program's end, in the player's own order: a started file is closed and 5 s are waited, a
    // settling player waits the seconds it has left; then the library is de-initialised.
    void windDown();

    int playerBusy() const { return m_playerBusy; }
    const std::deque<std::string>& mp3Queue() const { return m_mp3Queue; }

private:
    void onMp3StarterTimer();
    void onMp3WatcherTimer();
    // Opens and plays `file`, then marks the player busy; throws when any step fails.
    void start(const std::string& file);

    Clock& m_clock;
    Mp3Player m_player;
    int m_playerBusy = 0;
    std::deque<std::string> m_mp3Queue;
    std::unique_ptr<Timer> m_mp3StarterTimer;
    std::unique_ptr<Timer> m_mp3WatcherTimer;
};

} // namespace quietmon
