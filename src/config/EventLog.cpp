#include "config/EventLog.h"

#include <algorithm>

namespace quietmon {

bool EventLog::open(const std::string& path) {
    return m_file.open(path);
}

void EventLog::logEvent(std::string_view text) {
    if (!m_file.isOpen())
        return;
    std::string line = m_clock.now().formatDateTime() + "; ";
    line += text;
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    line += "\r\n";
    m_file.append(line); // a failed write loses this one line
}

void EventLog::close() {
    m_file.close();
}

} // namespace quietmon
