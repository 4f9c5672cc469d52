#pragma once

#include "platform/SerialLine.h"

namespace quietmon {

// A tty device through termios, its control lines through TIOCMBIS and TIOCMBIC. Held exclusively twice
// over: TIOCEXCL keeps other users' opens out, and an flock on the device keeps out a second opener that
// TIOCEXCL lets through (root).
class TermiosSerialLine final : public SerialLine {
public:
    TermiosSerialLine() = default;
    ~TermiosSerialLine() override;
    TermiosSerialLine(const TermiosSerialLine&) = delete;
    TermiosSerialLine& operator=(const TermiosSerialLine&) = delete;

    std::optional<SerialLineFailure> open(const std::string& devicePath) override;
    std::optional<SerialLineFailure> setModemLines(ModemLines lines, bool raised) override;
    void close() override;

private:
    int m_fd = -1;
};

} // namespace quietmon
