#pragma once

#include "config/Settings.h"
#include "platform/Shell.h"
#include "runtime/Clock.h"
#include "tasks/AlarmState.h"
#include "tasks/openplay/BuiltInMp3Player.h"
#include "tasks/openplay/OpenPlayTask.h"

#include <functional>
#include <string>
#include <vector>

namespace quietmon {

// "Open/Play 1", "Open/Play 2" and "Open/Play": up to three files opened as the desktop opens them, or,
// for mp3 files when "Use built-in MP3 player for .mp3 files" is on, played by the built-in player.
class OpenPlay final : public OpenPlayTask {
public:
    static constexpr int pauseAfterFileMs = 200;

    using Log = std::function<void(const std::string& text)>;

    // `settings` and `state` are the live ones: the player option and the placeholders are read at each
    // file. `programFolder` is where relative names are found.
    OpenPlay(Shell& shell, BuiltInMp3Player& player, Clock& clock, const Settings& settings,
             const AlarmState& state, std::string programFolder, Log log);

    void openFiles(const OpenSettings& settings) override;
    void stopPlayerForReturn() override { m_player.stopForReturn(); }
    bool createPlayer() override { return m_player.create(); }
    void windDownPlayer() override { m_player.windDown(); }

    // Opens or plays one file with its parameters, placeholders expanded in both; nothing for an empty
    // file field. A program or opener that cannot be started is logged ("Can't open <file> - <reason>");
    // what the started program or the player make of the file goes unnoticed.
    void openOrPlay(const std::string& file, const std::string& parameters);

private:
    // The parameters split into words first, then the placeholders expanded inside each word: whatever a
    // placeholder puts in (a channel named O'Brien, a line break) stays inside its word.
    std::vector<std::string> parameterWords(const std::string& parameters) const;

    Shell& m_shell;
    BuiltInMp3Player& m_player;
    Clock& m_clock;
    const Settings& m_settings;
    const AlarmState& m_state;
    std::string m_programFolder;
    Log m_log;
};

} // namespace quietmon
