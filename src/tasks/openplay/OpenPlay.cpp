#include "tasks/openplay/OpenPlay.h"

#include "platform/FileSystem.h"
#include "tasks/Placeholders.h"
#include "tasks/openplay/ShellWords.h"

namespace quietmon {

namespace {

bool hasMp3Extension(const std::string& file) {
    if (file.size() < 4)
        return false;
    std::string extension = file.substr(file.size() - 4);
    for (char& c : extension)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return extension == ".MP3";
}

} // namespace

OpenPlay::OpenPlay(Shell& shell, BuiltInMp3Player& player, Clock& clock, const Settings& settings,
                   const AlarmState& state, std::string programFolder)
    : m_shell(shell), m_player(player), m_clock(clock), m_settings(settings), m_state(state),
      m_programFolder(std::move(programFolder)) {}

void OpenPlay::openFiles(const OpenSettings& settings) {
    // Relative names, and what the started programs find relative to their own current folder, are
    // taken from the program's folder, whatever folder a file dialog left current.
    changeCurrentFolder(m_programFolder);
    for (std::size_t pair = 0; pair < settings.files.size(); ++pair)
        openOrPlay(settings.files[pair], settings.params[pair]);
}

void OpenPlay::openOrPlay(const std::string& file, const std::string& parameters) {
    if (file.empty())
        return;
    const std::string expandedFile = expandPlaceholders(file, m_state);
    const std::string expandedParameters = expandPlaceholders(parameters, m_state);
    if (hasMp3Extension(expandedFile) && m_settings.general.internalPlayer) {
        if (fileExists(expandedFile))
            m_player.playMp3(expandedFile);
    } else {
        m_shell.open(expandedFile, splitShellWords(expandedParameters));
    }
    m_clock.sleep(pauseAfterFileMs);
}

} // namespace quietmon
