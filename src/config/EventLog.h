#pragma once

#include "platform/Clock.h"
#include "platform/FileSystem.h"

#include <string>
#include <string_view>

namespace quietmon {

// The event log: one time-stamped line per notable event, appended to a plain-text file. A log that
// cannot be opened or written never stops the program and is never reported.
class EventLog {
public:
    explicit EventLog(const Clock& clock) : m_clock(clock) {}

    // Opens the file for appending (created if missing); logging is active only if this succeeds.
    bool open(const std::string& path);
    // Writes "yyyy-mm-dd hh:nn:ss; " + text + CR LF, with each line break in the text made a space; the
    // line is in the file when this returns. Texts given while the log is not active are discarded.
    void logEvent(std::string_view text);
    void close();
    bool loggingActive() const { return m_file.isOpen(); }

private:
    const Clock& m_clock;
    AppendOnlyFile m_file;
};

} // namespace quietmon
