#include "tasks/email/SmtpClient.h"

#include "tasks/email/Base64.h"

namespace quietmon {

namespace {

using Clock = std::chrono::steady_clock;

// A command's argument must not end the command line early or smuggle a second command.
void checkArgument(std::string_view what, std::string_view value) {
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        throw std::runtime_error("The " + std::string(what) +
                                 " holds a line break: " + printableServerText(value));
}

} // namespace

SmtpClient::SmtpClient(Network& network, SmtpTimeouts timeouts, SmtpReplyLimits limits)
    : m_network(network), m_timeouts(timeouts), m_reader(limits) {}

void SmtpClient::send(const SmtpEnvelope& envelope, std::stop_token stop) {
    m_wholeTime = m_timeouts.wholeFor(envelope.message.size());
    m_wholeDeadline = Clock::now() + m_wholeTime;
    try {
        converse(envelope, stop);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

SmtpClient::Deadline SmtpClient::deadlineIn(std::chrono::milliseconds timeout) const {
    return std::min(Clock::now() + timeout, m_wholeDeadline);
}

void SmtpClient::converse(const SmtpEnvelope& envelope, const std::stop_token& stop) {
    checkArgument("sender address", envelope.sender);
    for (const std::string& recipient : envelope.recipients)
        checkArgument("recipient address", recipient);
    if (envelope.port < 1 || envelope.port > 65535)
        throw std::runtime_error("The SMTP server's port " + std::to_string(envelope.port) +
                                 " is not between 1 and 65535.");

    m_reader.clear();
    m_connection = m_network.connect(envelope.host, static_cast<int>(envelope.port),
                                     deadlineIn(m_timeouts.connect), stop);
    if (envelope.implicitTls)
        m_connection->startTls(envelope.host, envelope.trust, deadlineIn(m_timeouts.reply));
    const SmtpReply greeting = readReply();
    if (greeting.code != 220)
        throw SmtpReplyError(greeting.code, greeting.text());

    const std::string hostName = m_network.hostName();
    greet(hostName);
    if (envelope.startTls && !envelope.implicitTls) {
        expect("STARTTLS", 220);
        // Whatever came in the clear after the go-ahead must not pass for an answer sent through TLS.
        m_reader.clear();
        m_connection->startTls(envelope.host, envelope.trust, deadlineIn(m_timeouts.reply));
        greet(hostName);
    }
    if (envelope.authenticate) {
        expect("AUTH LOGIN", 334);
        expect(encodeBase64(envelope.username), 334);
        expect(encodeBase64(envelope.password), 235);
    }
    command("RSET");
    readReply();
    expect("MAIL FROM:<" + envelope.sender + ">", 250);
    for (const std::string& recipient : envelope.recipients)
        expect("RCPT TO:<" + recipient + ">", 250, 251);
    expect("DATA", 354);
    m_connection->send(dotStuffed(envelope.message), m_timeouts.reply, m_wholeDeadline);
    const SmtpReply accepted = readReply();
    if (accepted.code != 250)
        throw SmtpReplyError(accepted.code, accepted.text());
}

void SmtpClient::greet(const std::string& hostName) {
    command("EHLO " + hostName);
    if (readReply().code != 250)
        expect("HELO " + hostName, 250);
}

void SmtpClient::command(std::string_view line) {
    std::string bytes(line);
    bytes += "\r\n";
    m_connection->send(bytes, m_timeouts.reply, m_wholeDeadline);
}

SmtpReply SmtpClient::readReply() {
    const Deadline deadline = deadlineIn(m_timeouts.reply);
    char buffer[4096];
    for (;;) {
        if (std::optional<SmtpReply> reply = m_reader.take())
            return std::move(*reply);
        const std::size_t got = m_connection->receive(buffer, sizeof buffer, deadline);
        if (got == 0 && deadline == m_wholeDeadline)
            throw std::runtime_error("The SMTP server did not take the message within " +
                                     std::to_string(m_wholeTime.count()) + " ms.");
        if (got == 0)
            throw std::runtime_error("The SMTP server gave no whole reply within " +
                                     std::to_string(m_timeouts.reply.count()) + " ms.");
        m_reader.append(std::string_view(buffer, got));
    }
}

SmtpReply SmtpClient::expect(std::string_view line, int code, int alternative) {
    command(line);
    SmtpReply reply = readReply();
    if (reply.code != code && reply.code != alternative)
        throw SmtpReplyError(reply.code, reply.text());
    return reply;
}

void SmtpClient::finish() {
    if (m_connection && m_connection->isOpen()) {
        try {
            m_connection->send("QUIT\r\n", std::chrono::milliseconds(0), Clock::now());
        } catch (...) {
            // The goodbye is a courtesy; the connection is closed either way.
        }
        m_connection->close();
    }
    m_connection.reset();
    m_reader.clear();
}

std::string dotStuffed(std::string_view message) {
    std::string out;
    out.reserve(message.size() + message.size() / 64 + 8);
    bool lineStart = true;
    for (std::size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n')
                ++i;
            out += "\r\n";
            lineStart = true;
            continue;
        }
        if (lineStart && c == '.')
            out += '.';
        out += c;
        lineStart = false;
    }
    if (!lineStart)
        out += "\r\n";
    out += ".\r\n";
    return out;
}

} // namespace quietmon
