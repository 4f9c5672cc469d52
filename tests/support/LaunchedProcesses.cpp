#include "support/LaunchedProcesses.h"

#include "support/PulseTestServer.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace quietmon::test {

namespace {

using namespace std::chrono_literals;

// Whether a process that is not this one's child has ended: gone, or a zombie its new parent has not
// reaped yet.
bool ended(pid_t process) {
    std::ifstream stat("/proc/" + std::to_string(process) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return true;
    const std::size_t nameEnd = line.rfind(')');
    return nameEnd == std::string::npos || line.compare(nameEnd + 1, 3, " Z ") == 0;
}

bool waitUntilGone(const std::vector<pid_t>& processes, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!std::ranges::all_of(processes, ended)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

} // namespace

void LaunchedProcesses::launch(const std::string& script, const std::string& command,
                               const std::vector<std::string>& arguments) {
    std::vector<std::string> bash{"bash", "-c", ". \"$0\" && " + command, script};
    bash.insert(bash.end(), arguments.begin(), arguments.end());
    const ProgramResult launched = runProgram(bash, 30000);
    std::istringstream numbers(launched.output);
    for (pid_t process = 0; numbers >> process;)
        m_processes.push_back(process);
    if (launched.exitCode != 0 || m_processes.empty()) {
        kill();
        throw std::runtime_error("the private server did not start: " + launched.output);
    }
}

void LaunchedProcesses::signal(int signal) const {
    for (const pid_t process : m_processes)
        ::kill(process, signal);
}

void LaunchedProcesses::kill() {
    signal(SIGKILL);
    waitUntilGone(m_processes, 5s);
    m_processes.clear();
}

void LaunchedProcesses::stop() {
    if (!running())
        return;
    signal(SIGCONT);
    signal(SIGTERM);
    if (!waitUntilGone(m_processes, 5s))
        signal(SIGKILL);
    waitUntilGone(m_processes, 5s);
    m_processes.clear();
}

} // namespace quietmon::test
