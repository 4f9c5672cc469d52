#pragma once

#include "platform/SerialLine.h"
#include "runtime/Clock.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quietmon::test {

// A serial line driver with modem lines, as a physical port has and a pseudo-terminal has not. It keeps
// the line levels and, for each change, the virtual moment it happened.
class FakeSerialLine final : public SerialLine {
public:
    struct Change {
        std::string what; // "open /dev/ttyS0", "DTR up", "DTR down", "RTS up", "RTS down", "close"
        std::int64_t atMs;
    };

    explicit FakeSerialLine(std::function<std::int64_t()> now) : m_now(std::move(now)) {}

    std::optional<SerialLineFailure> open(const std::string& devicePath) override {
        if (openFailure)
            return openFailure;
        isOpen = true;
        // A tty raises both lines when it is opened.
        dtr = rts = true;
        changes.push_back({"open " + devicePath, m_now()});
        return std::nullopt;
    }
    std::optional<SerialLineFailure> setModemLines(ModemLines lines, bool raised) override {
        if (raised ? raiseFailure : lowerFailure)
            return raised ? raiseFailure : lowerFailure;
        const char* level = raised ? " up" : " down";
        if (lines.dtr) {
            dtr = raised;
            changes.push_back({std::string("DTR") + level, m_now()});
        }
        if (lines.rts) {
            rts = raised;
            changes.push_back({std::string("RTS") + level, m_now()});
        }
        return std::nullopt;
    }
    void close() override {
        isOpen = false;
        dtr = rts = false;
        changes.push_back({"close", m_now()});
    }

    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const Change& change : changes)
            result.push_back(change.what);
        return result;
    }

    std::optional<SerialLineFailure> openFailure;
    std::optional<SerialLineFailure> raiseFailure;
    std::optional<SerialLineFailure> lowerFailure;
    bool isOpen = false;
    bool dtr = false;
    bool rts = false;
    std::vector<Change> changes;

private:
    std::function<std::int64_t()> m_now;
};

} // namespace quietmon::test
