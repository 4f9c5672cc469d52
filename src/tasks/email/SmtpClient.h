#pragma once

#include "platform/Network.h"
#include "tasks/email/SmtpReplyReader.h"

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quietmon {

// A reply whose code the conversation did not expect; the message is the server's reply text.
class SmtpReplyError : public std::runtime_error {
public:
    SmtpReplyError(int code, const std::string& text) : std::runtime_error(text), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};

struct SmtpTimeouts {
    std::chrono::milliseconds connect{10000};
    // The most one whole reply may take, however the server spreads its bytes.
    std::chrono::milliseconds reply{20000};
    // The most the whole send may take, name look-up included: this, and `wholePer100kB` for every 100 kB
    // of the message, so that a server answering each line just inside `reply` cannot hold it for long.
    std::chrono::milliseconds whole{60000};
    std::chrono::milliseconds wholePer100kB{1000};

    // The time allowed for a message of `messageBytes`.
    std::chrono::milliseconds wholeFor(std::size_t messageBytes) const {
        return whole + wholePer100kB * static_cast<long long>(messageBytes / (100 * 1024));
    }
};

// One message to hand to a server.
struct SmtpEnvelope {
    std::string host;
    long port = 25;
    bool implicitTls = false;  // TLS from the first byte, before the greeting (port 465)
    bool startTls = false;     // STARTTLS after the greeting; never on a connection that is already TLS
    bool authenticate = false; // AUTH LOGIN
    std::string username;
    std::string password;
    std::string sender;                  // bare address
    std::vector<std::string> recipients; // bare addresses, in order
    std::string message;                 // headers and body, lines ending in CR LF, not dot-stuffed
    TlsTrust trust;                      // what the server's certificate must be
};

// The client side of one SMTP exchange: [TLS handshake,] greeting, EHLO (HELO when EHLO is refused),
// STARTTLS and a second EHLO, AUTH LOGIN, RSET, MAIL FROM, one RCPT TO per recipient, DATA and the
// message.
class SmtpClient {
public:
    explicit SmtpClient(Network& network, SmtpTimeouts timeouts = {}, SmtpReplyLimits limits = {});

    // Runs the whole exchange and throws at the first failure, at the latest when the time for the whole
    // send has run out; at once when `stop` is requested. However it ends, a connection still open gets
    // "QUIT" without waiting for the answer and is closed before this returns.
    void send(const SmtpEnvelope& envelope, std::stop_token stop = {});

private:
    using Deadline = NetworkConnection::Deadline;

    void converse(const SmtpEnvelope& envelope, const std::stop_token& stop);
    // Now plus `timeout`, or the end of the whole send if that comes first.
    Deadline deadlineIn(std::chrono::milliseconds timeout) const;
    void greet(const std::string& hostName);
    void command(std::string_view line);
    SmtpReply readReply();
    SmtpReply expect(std::string_view line, int code, int alternative = -1);
    void finish();

    Network& m_network;
    SmtpTimeouts m_timeouts;
    std::chrono::milliseconds m_wholeTime{0};
    Deadline m_wholeDeadline;
    SmtpReplyReader m_reader;
    std::unique_ptr<NetworkConnection> m_connection;
};

// The message as DATA carries it: every line ending in CR LF (a lone CR or LF counts as a line break),
// a dot doubled at the start of any line, and the closing "." line.
std::string dotStuffed(std::string_view message);

} // namespace quietmon
