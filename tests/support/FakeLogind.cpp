#include "support/FakeLogind.h"

#include "support/PulseTestServer.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace quietmon::test {

namespace {

using namespace std::chrono_literals;

pid_t firstNumberIn(const std::string& output) {
    const long number = std::strtol(output.c_str(), nullptr, 10);
    if (number <= 0)
        throw std::runtime_error("no process id in: " + output);
    return static_cast<pid_t>(number);
}

// A process that ended but was not reaped yet counts as gone.
bool alive(pid_t process) {
    const std::string stat = readWholeFile("/proc/" + std::to_string(process) + "/stat");
    const std::size_t state = stat.rfind(')');
    return state != std::string::npos && state + 2 < stat.size() && stat[state + 2] != 'Z';
}

// Neither process is a child of this one (both were started through a shell that ended at once), so
// there is nothing to reap: ask, then insist.
void end(pid_t process) {
    if (process <= 0)
        return;
    ::kill(process, SIGTERM);
    for (int wait = 0; wait < 50 && alive(process); ++wait)
        std::this_thread::sleep_for(20ms);
    ::kill(process, SIGKILL);
}

std::string asJson(const std::map<std::string, std::string>& answers) {
    std::string json = "{";
    for (const auto& [name, value] : answers)
        json += (json.size() > 1 ? ", \"" : "\"") + name + "\": \"" + value + "\"";
    return json + "}";
}

} // namespace

FakeLogind::FakeLogind(const std::map<std::string, std::string>& answers)
    : m_address("unix:path=" + m_folder.file("system_bus")) {
    // Named before anything starts, so that even the fake itself can only find this bus.
    m_systemBus = std::make_unique<EnvironmentOverride>("DBUS_SYSTEM_BUS_ADDRESS", m_address);
    // The session configuration lets root own any name, which the fake needs.
    m_bus = firstNumberIn(runProgram({"dbus-daemon", "--session", "--fork", "--nopidfile", "--nosyslog",
                                      "--print-pid=1", "--address=" + m_address})
                              .output);
    m_mock = firstNumberIn(
        runProgram({"sh", "-c",
                    "/usr/bin/python3 -m dbusmock --system --template logind -p \"$1\" -l \"$2\" </dev/null "
                    ">\"$3\" 2>&1 & echo $!",
                    "sh", asJson(answers), m_folder.file("calls.log"), m_folder.file("logind.out")})
            .output);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (runProgram({"dbus-send", "--bus=" + m_address, "--dest=org.freedesktop.DBus", "--print-reply",
                        "/", "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.login1"})
                .output.find("boolean true") != std::string::npos)
            return;
        std::this_thread::sleep_for(100ms);
    }
    const std::string output = readWholeFile(m_folder.file("logind.out"));
    end(m_mock);
    end(m_bus);
    throw std::runtime_error("the fake logind did not come up: " + output);
}

FakeLogind::~FakeLogind() {
    thaw(); // a stopped process would keep the request to end until it runs again
    end(m_mock);
    end(m_bus);
}

bool FakeLogind::ownsTheSystemBus() const {
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    return address && address == m_address;
}

std::vector<std::string> FakeLogind::calls() const {
    std::vector<std::string> calls;
    std::istringstream log(readWholeFile(m_folder.file("calls.log")));
    for (std::string line; std::getline(log, line);)
        calls.push_back(line.substr(line.find(' ') + 1)); // after the time stamp
    return calls;
}

void FakeLogind::refuse(const std::string& method, const std::string& errorName, const std::string& message) {
    const ProgramResult added = runProgram(
        {"dbus-send", "--bus=" + m_address, "--dest=org.freedesktop.login1", "--print-reply",
         "/org/freedesktop/login1", "org.freedesktop.DBus.Mock.AddMethod",
         "string:org.freedesktop.login1.Manager", "string:" + method, "string:b", "string:",
         "string:raise dbus.exceptions.DBusException(\"" + message + "\", name=\"" + errorName + "\")"});
    if (added.exitCode != 0)
        throw std::runtime_error("the fake logind did not take the refusal: " + added.output);
}

void FakeLogind::freeze(Part part) {
    ::kill(part == Part::Manager ? m_mock : m_bus, SIGSTOP);
}

void FakeLogind::thaw() {
    ::kill(m_mock, SIGCONT);
    ::kill(m_bus, SIGCONT);
}

} // namespace quietmon::test
