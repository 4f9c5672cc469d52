#pragma once

#include "platform/MessageBoxes.h"
#include "platform/Shutdown.h"

#include <string>
#include <vector>

namespace quietmon::test {

// A login manager that answers as told and records, in `events`, what it was asked.
class FakeSystemShutdown final : public SystemShutdown {
public:
    explicit FakeSystemShutdown(std::vector<std::string>& events) : m_events(events) {}

    std::string mayShutDown(ShutdownKind kind) override {
        m_events.push_back(std::string("may ") + name(kind));
        return answer;
    }
    std::optional<std::string> shutDown(ShutdownKind kind) override {
        m_events.push_back(std::string("shut down ") + name(kind));
        return refusal;
    }

    std::string answer = "yes";
    std::optional<std::string> refusal;

private:
    static const char* name(ShutdownKind kind) {
        return kind == ShutdownKind::Reboot ? "Reboot" : "PowerOff";
    }
    std::vector<std::string>& m_events;
};

// The countdown dialog, answered in advance.
class FakeRebootPrompt final : public RebootPrompt {
public:
    RebootAnswer askToReboot() override { return answer; }
    RebootAnswer answer = RebootAnswer::CountdownEnded;
};

} // namespace quietmon::test
