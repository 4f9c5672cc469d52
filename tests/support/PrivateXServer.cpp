#include "support/PrivateXServer.h"

#include <filesystem>
#include <stdexcept>

namespace quietmon::test {

bool displayNumberTaken(int number) {
    const std::string n = std::to_string(number);
    std::error_code error;
    return std::filesystem::exists("/tmp/.X" + n + "-lock", error) ||
           std::filesystem::exists("/tmp/.X11-unix/X" + n, error);
}

PrivateXServer::PrivateXServer(std::vector<std::string> extraArguments)
    : m_extraArguments(std::move(extraArguments)) {
    for (int number = 180; number < 260; ++number) {
        if (!displayNumberTaken(number) && start(number))
            return;
    }
    throw std::runtime_error("no free display number for a private Xvfb");
}

void PrivateXServer::crash() {
    // A killed server leaves its lock file and socket behind; the launcher clears them at the restart.
    m_server.kill();
}

void PrivateXServer::restart() {
    if (!start(m_number))
        throw std::runtime_error("Xvfb did not start again on " + name());
}

bool PrivateXServer::start(int number) {
    // The launcher the scripts and the shell tests use, with a screen small enough to capture quickly.
    std::vector<std::string> arguments{m_folder.file("xvfb.log"), std::to_string(number)};
    arguments.insert(arguments.end(), m_extraArguments.begin(), m_extraArguments.end());
    try {
        m_server.launch(QUIETMON_DISPLAY_SERVER_SCRIPT,
                        "DISPLAY_SERVER_SCREEN=320x240x24 && start_display_server \"$@\" && "
                        "echo \"$DISPLAY_SERVER_PID\"",
                        arguments);
    } catch (const std::runtime_error&) {
        return false;
    }
    m_number = number;
    return true;
}

} // namespace quietmon::test
