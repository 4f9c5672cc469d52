#include "tasks/openplay/OpenPlay.h"

#include "runtime/FileSystem.h"
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
                   const AlarmState& state, std::string programFolder, Log log)
    : m_shell(shell), m_player(player), m_clock(clock), m_settings(settings), m_state(state),
      m_programFolder(std::move(programFolder)), m_log(std::move(log)) {}

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
    if (hasMp3Extension(expandedFile) && m_settings.general.internalPlayer) {
        if (fileExists(expandedFile))
            m_player.playMp3(expandedFile);
    } else if (const auto failure = m_shell.open(expandedFile, parameterWords(parameters))) {
        m_log("Can't open " + expandedFile + " - " + *failure);
    }
    m_clock.sleep(pauseAfterFileMs);
}

std::vector<std::string> OpenPlay::parameterWords(const std::string& parameters) const {
    std::vector<std::string> words = splitShellWords(parameters);
    for (std::string& word : words)
        word = expandPlaceholders(word, m_state);
    return words;
}

} // namespace quietmon
