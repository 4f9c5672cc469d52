#include "tasks/email/SmtpReplyReader.h"

namespace quietmon {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string SmtpReply::text() const {
    std::string joined;
    for (const std::string& line : lines) {
        if (!joined.empty())
            joined += '\n';
        joined += line;
    }
    // A bare code still says what went wrong.
    if (joined.find_first_not_of(' ') == std::string::npos)
        return std::to_string(code);
    return joined;
}

void SmtpReplyReader::append(std::string_view bytes) {
    m_buffer.append(bytes);
}

std::optional<SmtpReply> SmtpReplyReader::take() {
    for (;;) {
        const std::size_t newline = m_buffer.find('\n', m_start);
        if (newline == std::string::npos) {
            // Consumed lines are dropped only here, once per wait for more bytes.
            m_buffer.erase(0, m_start);
            m_start = 0;
            // A CR may be waiting for its LF; it is not part of the line.
            const std::size_t partial =
                m_buffer.size() - (!m_buffer.empty() && m_buffer.back() == '\r' ? 1 : 0);
            if (partial > m_limits.maxLineBytes)
                throw SmtpProtocolError("The SMTP server sent a reply line longer than " +
                                        std::to_string(m_limits.maxLineBytes) + " bytes.");
            if (m_pendingBytes + m_buffer.size() > m_limits.maxReplyBytes)
                throw SmtpProtocolError("The SMTP server sent a reply longer than " +
                                        std::to_string(m_limits.maxReplyBytes) + " bytes.");
            return std::nullopt;
        }
        const std::size_t end = newline - m_start; // the line's length with its CR
        std::size_t length = end;
        if (length > 0 && m_buffer[m_start + length - 1] == '\r')
            --length;
        if (length > m_limits.maxLineBytes)
            throw SmtpProtocolError("The SMTP server sent a reply line longer than " +
                                    std::to_string(m_limits.maxLineBytes) + " bytes.");
        m_pendingBytes += end + 1;
        if (m_pendingBytes > m_limits.maxReplyBytes)
            throw SmtpProtocolError("The SMTP server sent a reply longer than " +
                                    std::to_string(m_limits.maxReplyBytes) + " bytes.");
        const std::string_view line(m_buffer.data() + m_start, length);
        if (line.size() < 3 || !isDigit(line[0]) || !isDigit(line[1]) || !isDigit(line[2]))
            throw SmtpProtocolError("The SMTP server sent a malformed reply: " + printableServerText(line));
        const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
        if (m_pending.lines.empty())
            m_pending.code = code;
        const bool more = line.size() > 3 && line[3] == '-';
        m_pending.lines.emplace_back(line.size() > 4 ? line.substr(4) : std::string_view());
        m_start = newline + 1;
        if (!more) {
            SmtpReply reply = std::move(m_pending);
            m_pending = SmtpReply{};
            m_pendingBytes = 0;
            return reply;
        }
    }
}

void SmtpReplyReader::clear() {
    m_buffer.clear();
    m_start = 0;
    m_pending = SmtpReply{};
    m_pendingBytes = 0;
}

std::string printableServerText(std::string_view text, std::size_t maxBytes) {
    std::string out;
    const std::size_t kept = text.size() > maxBytes ? maxBytes : text.size();
    out.reserve(kept + 3);
    for (std::size_t i = 0; i < kept; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
    }
    if (kept < text.size())
        out += "...";
    return out;
}

} // namespace quietmon
