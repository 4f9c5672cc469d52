#include "config/EventLog.h"

namespace quietmon {

namespace {

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n' || c == '\r' || c == '\t')
            out += ' ';
        else if (byte >= 0x20 && byte != 0x7F) // bytes from 0x80 are characters of UTF-8 or Latin-1
            out += c;
    }
    return out;
}

} // namespace

bool EventLog::open(const std::string& path) {
    m_path = path;
    m_rotateAtBytes = m_rotationBytes;
    return m_file.open(path);
}

void EventLog::logEvent(std::string_view text) {
    if (!m_file.isOpen())
        return;
    const std::string line = m_clock.now().formatDateTime() + "; " + printable(text) + "\r\n";
    if (m_file.sizeBytes() > 0 && m_file.sizeBytes() + line.size() > m_rotateAtBytes)
        rotate();
    m_file.append(line); // a failed write loses this one line
}

void EventLog::rotate() {
    removeFile(oldLog(keptOldLogs));
    for (int number = keptOldLogs - 1; number >= 1; --number)
        renameFile(oldLog(number), oldLog(number + 1));
    if (!renameFile(m_path, oldLog(1))) {
        // A folder that allows no renaming: the log grows on, and the next try waits as long again.
        m_rotateAtBytes = m_file.sizeBytes() + m_rotationBytes;
        return;
    }
    m_rotateAtBytes = m_rotationBytes;
    m_file.open(m_path); // a new file that cannot be made ends logging, as a failed open at start-up does
}

void EventLog::close() {
    m_file.close();
}

} // namespace quietmon
