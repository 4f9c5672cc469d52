#pragma once

#include <optional>
#include <string>

namespace quietmon {

// Why a serial device refused a step: the system's error number and its message.
struct SerialLineFailure {
    int errorNumber = 0;
    std::string systemMessage;
    bool deviceMissing = false; // no such device: the path names nothing that could be a port
};

// The modem control lines a step acts on, both at once where both are set.
struct ModemLines {
    bool dtr = false;
    bool rts = false;
};

// A serial device used only for its modem control lines: no data is sent or received.
class SerialLine {
public:
    virtual ~SerialLine() = default;
    // Opens the device for this program alone, with the line settings written: 1200 baud, 8 data bits,
    // no parity, 1 stop bit, no flow control of any kind. Opening may raise the lines: the caller lowers
    // them. On failure nothing stays open.
    virtual std::optional<SerialLineFailure> open(const std::string& devicePath) = 0;
    // Raises (`raised`) or lowers the lines named, together.
    virtual std::optional<SerialLineFailure> setModemLines(ModemLines lines, bool raised) = 0;
    // Lowers both lines and closes the device; nothing when it is not open.
    virtual void close() = 0;
};

} // namespace quietmon
