#pragma once

#include "tasks/AlarmState.h"
#include "tasks/Placeholders.h"
#include "tasks/TaskServices.h"
#include "tasks/email/EmailTask.h"
#include "tasks/http/HttpQueryTask.h"
#include "tasks/kill/KillTask.h"
#include "tasks/reboot/RebootTask.h"
#include "tasks/screenshot/ScreenshotTask.h"
#include "tasks/serialport/PortPinTask.h"
#include "tasks/speech/SpeechTask.h"

#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quietmon::test {

// Task kinds that record what they were asked to do, with the placeholders of their texts expanded at
// that moment, and the virtual time it happened at.
struct FakeTasks {
    struct Call {
        std::string what;
        std::string text; // an expanded message, where the kind has one
        std::int64_t atMs;
    };

    FakeTasks(const AlarmState& state, std::function<std::int64_t()> now)
        : state(state), now(std::move(now)) {}

    struct Email final : EmailTask {
        explicit Email(FakeTasks& owner) : owner(owner) {}
        void sendEmail(const EmailSettings& settings, QueueKind queue,
                       std::function<void()> finished) override {
            if (owner.failNextEmail) {
                owner.failNextEmail = false;
                throw std::runtime_error("Socket Error # 10061");
            }
            owner.record(queue == QueueKind::Alarm ? "alarm email" : "return email",
                         expandPlaceholders(settings.message, owner.state));
            if (owner.holdEmails)
                owner.heldEmails.push_back(std::move(finished));
            else if (finished)
                finished();
        }
        void sendTest(const EmailSettings& settings, QueueKind queue, MessageBoxes&,
                      std::function<void(const TestOutcome&)> finished) override {
            owner.record(queue == QueueKind::Alarm ? "alarm test email" : "return test email", settings.smtp);
            if (finished)
                finished({.sent = true});
        }
        FakeTasks& owner;
    };
    struct Http final : HttpQueryTask {
        explicit Http(FakeTasks& owner) : owner(owner) {}
        void sendQuery(const QuerySettings& settings, bool) override {
            owner.record("query", expandPlaceholdersForUrl(settings.query, owner.state));
        }
        FakeTasks& owner;
    };
    struct Kill final : KillTask {
        explicit Kill(FakeTasks& owner) : owner(owner) {}
        void killApplication(const std::string& title, const std::string& windowClass) override {
            owner.record("kill", title + "/" + windowClass);
        }
        FakeTasks& owner;
    };
    struct Screenshot final : ScreenshotTask {
        explicit Screenshot(FakeTasks& owner) : owner(owner) {}
        bool saveScreenshot(const ScreenshotSettings& settings) override {
            owner.record("screenshot", settings.file);
            return !settings.file.empty();
        }
        FakeTasks& owner;
    };
    struct Speech final : SpeechTask {
        explicit Speech(FakeTasks& owner) : owner(owner) {}
        void speak(const std::string& text) override { owner.record("speak", text); }
        FakeTasks& owner;
    };
    struct Port final : PortPinTask {
        explicit Port(FakeTasks& owner) : owner(owner) {}
        void switchPin(const PortSettings&) override { owner.record("switch pin", ""); }
        void releasePortPin(int mode) override { owner.record("normal port", std::to_string(mode)); }
        void closePort() override { owner.record("close port", ""); }
        FakeTasks& owner;
    };
    struct Rebooter final : RebootTask {
        explicit Rebooter(FakeTasks& owner) : owner(owner) {}
        void reboot(const RebootSettings&) override { owner.record("reboot", ""); }
        FakeTasks& owner;
    };

    void record(const std::string& what, const std::string& text) { calls.push_back({what, text, now()}); }
    // Ends the oldest of the sends held back, as a server's answer would.
    void finishHeldEmail() {
        std::function<void()> finished = std::move(heldEmails.front());
        heldEmails.pop_front();
        if (finished)
            finished();
    }
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& call : calls)
            result.push_back(call.what);
        return result;
    }
    void installInto(TaskServices& services) {
        services.set(TaskKind::SendEmail, &email);
        services.set(TaskKind::SendHttpQuery, &http);
        services.set(TaskKind::KillApplication, &kill);
        services.set(TaskKind::SaveScreenshot, &screenshot);
        services.set(TaskKind::Speak, &speech);
        services.set(TaskKind::SwitchPortPin, &port);
        services.set(TaskKind::RebootSystem, &reboot);
    }

    const AlarmState& state;
    std::function<std::int64_t()> now;
    std::vector<Call> calls;
    bool failNextEmail = false;
    // Sends then end only by finishHeldEmail, as they do when a server takes its time.
    bool holdEmails = false;
    std::deque<std::function<void()>> heldEmails;
    Email email{*this};
    Http http{*this};
    Kill kill{*this};
    Screenshot screenshot{*this};
    Speech speech{*this};
    Port port{*this};
    Rebooter reboot{*this};
};

} // namespace quietmon::test
