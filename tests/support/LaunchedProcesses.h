#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace quietmon::test {

// A private server started by one of the launchers of scripts/ (sound-server.sh, display-server.sh), the
// ones the scripts and the shell tests use. Its processes outlive the shell that started them, so they
// are signalled and watched by their numbers rather than waited for.
class LaunchedProcesses {
public:
    LaunchedProcesses() = default;
    ~LaunchedProcesses() { stop(); }
    LaunchedProcesses(const LaunchedProcesses&) = delete;
    LaunchedProcesses& operator=(const LaunchedProcesses&) = delete;

    // Sources `script` and runs `command` in bash, `arguments` being $1, $2 ...; the numbers it prints are
    // the server's processes. Throws with what the launcher printed when it fails.
    void launch(const std::string& script, const std::string& command,
                const std::vector<std::string>& arguments);

    bool running() const { return !m_processes.empty(); }
    void signal(int signal) const;
    // SIGKILL, as a crash would end them, and waits until they are gone.
    void kill();
    // SIGTERM, then SIGKILL to what still runs after 5 s.
    void stop();

private:
    std::vector<pid_t> m_processes;
};

} // namespace quietmon::test
