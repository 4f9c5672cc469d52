#pragma once

#include "runtime/Clock.h"
#include "runtime/FileSystem.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quietmon {

// The event log: one time-stamped line per notable event, appended to a plain-text file. A log that
// cannot be opened or written never stops the program and is never reported.
//
// A disk that fills over months of logging would stop the settings from being saved, so the log is
// rotated: a line that would take it past `rotationBytes` first renames it to "<name>.1" (the older ones
// to ".2" up to ".5", the oldest dropped) and starts a new one.
class EventLog {
public:
    static constexpr std::uint64_t defaultRotationBytes = 10 * 1024 * 1024;
    static constexpr int keptOldLogs = 5;

    explicit EventLog(const Clock& clock, std::uint64_t rotationBytes = defaultRotationBytes)
        : m_clock(clock), m_rotationBytes(rotationBytes), m_rotateAtBytes(rotationBytes) {}

    // Opens the file for appending (created if missing); logging is active only if this succeeds.
    bool open(const std::string& path);
    // Writes "yyyy-mm-dd hh:nn:ss; " + text + CR LF; the line is in the file when this returns. Each line
    // break or tab in the text becomes a space and every other control character is dropped, so that a
    // text from outside (a server's reply) can neither split the line nor send a terminal's escape
    // sequences to whoever reads the log. Texts given while the log is not active are discarded.
    void logEvent(std::string_view text);
    void close();
    bool loggingActive() const { return m_file.isOpen(); }

private:
    void rotate();
    std::string oldLog(int number) const { return m_path + "." + std::to_string(number); }

    const Clock& m_clock;
    const std::uint64_t m_rotationBytes;
    std::uint64_t m_rotateAtBytes; // later than m_rotationBytes after a rotation the folder refused
    std::string m_path;
    AppendOnlyFile m_file;
};

} // namespace quietmon
