#pragma once

#include "config/Settings.h"
#include "platform/Clock.h"
#include "platform/Shell.h"
#include "tasks/AlarmState.h"
#include "tasks/TaskServices.h"
#include "tasks/openplay/BuiltInMp3Player.h"

#include <string>

namespace quietmon {

// "Open/Play 1", "Open/Play 2" and "Open/Play": up to three files opened as the desktop opens them, or,
// for mp3 files when "Use built-in MP3 player for .mp3 files" is on, played by the built-in player.
class OpenPlay final : public OpenPlayTask {
public:
    static constexpr int pauseAfterFileMs = 200;

    // `settings` and `state` are the live ones: the player option and the placeholders are read at each
    // file. `programFolder` is where relative names are found.
    OpenPlay(Shell& shell, BuiltInMp3Player& player, Clock& clock, const Settings& settings,
             const AlarmState& state, std::string programFolder);

    void openFiles(const OpenSettings& settings) override;
    void stopPlayerForReturn() override { m_player.stopForReturn(); }
    bool createPlayer() override { return m_player.create(); }
    void windDownPlayer() override { m_player.windDown(); }

    // Opens or plays one file with its parameters, placeholders expanded in both; nothing for an empty
    // file field. Failures go unnoticed.
    void openOrPlay(const std::string& file, const std::string& parameters);

private:
    Shell& m_shell;
    BuiltInMp3Player& m_player;
    Clock& m_clock;
    const Settings& m_settings;
    const AlarmState& m_state;
    std::string m_programFolder;
};

} // namespace quietmon
