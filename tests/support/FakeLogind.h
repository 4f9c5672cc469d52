#pragma once

#include "support/EnvironmentOverride.h"
#include "support/TempFolder.h"

#include <map>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quietmon::test {

// systemd-logind as python3-dbusmock's template plays it, on a system bus of the test's own: reboot and
// power-off requests are recorded, never carried out. While it lives, DBUS_SYSTEM_BUS_ADDRESS names that
// bus, so that nothing the test starts can reach the computer's own logind.
class FakeLogind {
public:
    // `answers`: the template's parameters, such as {{"CanReboot", "no"}}; every Can... answers "yes"
    // otherwise. Throws when the bus or the fake does not come up within 10 s.
    explicit FakeLogind(const std::map<std::string, std::string>& answers = {});
    ~FakeLogind();
    FakeLogind(const FakeLogind&) = delete;
    FakeLogind& operator=(const FakeLogind&) = delete;

    const std::string& address() const { return m_address; }
    // Whether the system bus this process would use is this fake's: a test checks it before anything
    // that may reboot.
    bool ownsTheSystemBus() const;
    // The manager's calls so far, as the fake logged them: "CanReboot", "Reboot False", ...
    std::vector<std::string> calls() const;
    // From now on `method` (one boolean argument) fails with this D-Bus error.
    void refuse(const std::string& method, const std::string& errorName, const std::string& message);
    enum class Part { Manager, Bus };
    // SIGSTOP: the manager keeps its name on the bus and answers nothing, or the bus itself takes
    // connections and answers nothing; until `thaw` (SIGCONT to both).
    void freeze(Part part);
    void thaw();

private:
    TempFolder m_folder;
    std::string m_address;
    std::unique_ptr<EnvironmentOverride> m_systemBus;
    pid_t m_bus = -1;
    pid_t m_mock = -1;
};

} // namespace quietmon::test
