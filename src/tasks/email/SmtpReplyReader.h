#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quietmon {

// A reply that breaks the rules of SMTP or this client's size limits.
class SmtpProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SmtpReply {
    int code = 0;
    // The text of each line after the code and its separator.
    std::vector<std::string> lines;

    // The lines joined by line breaks; the code alone when the server gave no text.
    std::string text() const;
};

// Bounds on what one reply may hold, so that a broken or hostile server cannot make the client keep
// bytes without end. RFC 5321 caps a reply line at 512 bytes; the limits leave room for servers that
// exceed it.
struct SmtpReplyLimits {
    std::size_t maxLineBytes = 2048;
    std::size_t maxReplyBytes = 16384;
};

// Gathers SMTP replies from the bytes a server sends, in pieces as they arrive: the lines of a
// multi-line reply carry a hyphen after the code, the last one a space (or nothing). Lines end in CR LF;
// a bare LF is taken as well.
class SmtpReplyReader {
public:
    explicit SmtpReplyReader(SmtpReplyLimits limits = {}) : m_limits(limits) {}

    void append(std::string_view bytes);
    // The next whole reply, or nothing until more bytes arrive. Throws SmtpProtocolError for a line
    // without a three-digit code and for a line or reply beyond the limits, without waiting for its end.
    std::optional<SmtpReply> take();
    // Forgets everything received and not yet taken.
    void clear();
    bool empty() const { return m_start == m_buffer.size() && m_pending.lines.empty(); }

private:
    SmtpReplyLimits m_limits;
    std::string m_buffer; // bytes received and not yet taken, from m_start on
    std::size_t m_start = 0;
    SmtpReply m_pending; // the lines of the reply being gathered
    std::size_t m_pendingBytes = 0;
};

// Text from a server made safe for a log line or a message box: control bytes become "?", and anything
// beyond `maxBytes` is cut and marked with "...".
std::string printableServerText(std::string_view text, std::size_t maxBytes = 200);

} // namespace quietmon
