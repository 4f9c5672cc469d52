// The "Send email" task and the Setup dialog's email "Test" buttons against a real SMTP server on the
// loopback interface, started by each test (tests/support/smtp-test-server.py).
#include "tasks/email/EmailSender.h"

#include "config/ProductName.h"
#include "platform/linux/PosixNetwork.h"
#include "support/SmtpTestServer.h"
#include "support/TempFolder.h"
#include "support/WakingEventLoop.h"
#include "tasks/Placeholders.h"

#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <unistd.h>

namespace quietmon {
namespace {

using namespace std::chrono_literals;
using test::SmtpTestServer;
using test::SmtpTestServerOptions;

class RecordingMessageBoxes final : public MessageBoxes {
public:
    void inform(const std::string& text) override { shown.push_back(text); }
    bool confirm(const std::string& text) override {
        shown.push_back(text);
        return trust;
    }
    std::vector<std::string> shown;
    bool trust = false;
};

// Takes every connection to one loopback port and notes the host and port that were asked for, so that
// the server text's rule can be seen at work without other hosts or privileged ports.
class RedirectingNetwork final : public Network {
public:
    RedirectingNetwork(Network& real, int port) : m_real(real), m_port(port) {}
    std::unique_ptr<NetworkConnection> connect(const std::string& host, int port,
                                               NetworkConnection::Deadline deadline,
                                               std::stop_token stop) override {
        asked.emplace_back(host, port);
        return m_real.connect("127.0.0.1", m_port, deadline, std::move(stop));
    }
    std::string hostName() const override { return m_real.hostName(); }

    std::vector<std::pair<std::string, int>> asked;

private:
    Network& m_real;
    int m_port;
};

std::string computerName() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

// The value of the first header field of that name, folded lines joined.
std::string headerOf(const std::string& message, const std::string& name) {
    const std::string head = "\r\n" + message.substr(0, message.find("\r\n\r\n") + 2);
    const std::size_t at = head.find("\r\n" + name + ": ");
    if (at == std::string::npos)
        return "(none)";
    std::string value;
    for (std::size_t i = at + name.size() + 4; i < head.size(); ++i) {
        if (head.compare(i, 2, "\r\n") == 0) {
            if (i + 2 < head.size() && (head[i + 2] == ' ' || head[i + 2] == '\t')) {
                ++i;
                continue;
            }
            break;
        }
        value += head[i];
    }
    return value;
}

std::string bodyOf(const std::string& message) {
    return message.substr(message.find("\r\n\r\n") + 4);
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The decoded attachment of a message written by the sender: the base64 lines after the attachment
// part's headers, up to the closing delimiter.
std::string attachmentOf(const std::string& message) {
    const std::size_t disposition = message.find("Content-Disposition: attachment");
    if (disposition == std::string::npos)
        return "(none)";
    const std::size_t start = message.find("\r\n\r\n", disposition) + 4;
    const std::size_t end = message.find("\r\n--", start);
    return test::decodeBase64(message.substr(start, end - start));
}

class EmailSenderTest : public ::testing::Test {
protected:
    EmailSenderTest() {
        alarm.eventTime = DateTime::fromParts(2024, 3, 7, 14, 5, 9);
        alarm.silentChannels = "Left and Right";
        alarm.taskPosition = 2;
    }

    EmailSettings settingsFor(const SmtpTestServer& server) const {
        EmailSettings settings;
        settings.from = "monitor@example.org";
        settings.to = "desk@example.org";
        settings.subject = "Silence on air";
        settings.message = "Silence detected!";
        settings.smtp = server.address();
        return settings;
    }

    std::unique_ptr<EmailSender> senderOver(Network& through, SmtpTimeouts timeouts = {}) {
        return std::make_unique<EmailSender>(
            loop, through, productName(),
            [this](std::string_view text) { return expandPlaceholders(text, alarm); },
            [this](const std::string& line) { logLines.push_back(line); }, timeouts);
    }

    // Sends as a queue does and waits for the end of the send.
    void send(EmailSender& with, const EmailSettings& settings, QueueKind queue = QueueKind::Alarm) {
        bool finished = false;
        with.sendEmail(settings, queue, [&finished] { finished = true; });
        ASSERT_TRUE(loop.runUntil([&finished] { return finished; }, 30s));
    }
    void send(const EmailSettings& settings, QueueKind queue = QueueKind::Alarm) {
        send(*sender, settings, queue);
    }

    // Presses a "Test" button and waits for its outcome.
    EmailTask::TestOutcome test(const EmailSettings& settings, QueueKind queue, MessageBoxes& boxes) {
        std::optional<EmailTask::TestOutcome> outcome;
        sender->sendTest(settings, queue, boxes,
                         [&outcome](const EmailTask::TestOutcome& o) { outcome = o; });
        EXPECT_TRUE(loop.runUntil([&outcome] { return outcome.has_value(); }, 30s));
        return outcome.value_or(EmailTask::TestOutcome{});
    }

    // Timeouts short enough that a server which never answers ends the test in well under a second.
    static constexpr SmtpTimeouts fastTimeouts{2000ms, 300ms};

    test::TrustTestAuthority trustTestAuthority;
    PosixNetwork network;
    test::WakingEventLoop loop{DateTime::fromParts(2024, 3, 7, 14, 5, 30)};
    AlarmState alarm;
    std::vector<std::string> logLines;
    // What the log holds after `sends` messages the server took for `recipients`.
    static std::vector<std::string> sentTo(const std::string& recipients, std::size_t sends = 1) {
        return std::vector<std::string>(sends, "Email sent to " + recipients);
    }
    std::unique_ptr<EmailSender> sender = senderOver(network);
    test::TempFolder folder;
};

TEST_F(EmailSenderTest, APlainSendDeliversTheMessageWithTheConversationInOrderAndLogsItsRecipients) {
    SmtpTestServer server;
    EmailSettings settings = settingsFor(server);
    settings.message = "Silence detected!%br.hidden dot line%br.";
    send(settings, QueueKind::Alarm);

    EXPECT_EQ(logLines, sentTo("desk@example.org"));
    const std::vector<std::string> messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    const std::string& message = messages[0];
    EXPECT_EQ(headerOf(message, "X-Mail-From"), "monitor@example.org");
    EXPECT_EQ(headerOf(message, "X-Rcpt-To"), "desk@example.org");
    EXPECT_EQ(headerOf(message, "X-TLS-Version"), "-");
    EXPECT_EQ(headerOf(message, "X-Greeting-Name"), computerName());
    EXPECT_EQ(headerOf(message, "From"), "monitor@example.org");
    EXPECT_EQ(headerOf(message, "To"), "desk@example.org");
    EXPECT_EQ(headerOf(message, "Subject"), "Silence on air");
    EXPECT_EQ(headerOf(message, "Date").rfind("Thu, 07 Mar 2024 14:05:30 ", 0), 0u)
        << headerOf(message, "Date");
    EXPECT_EQ(headerOf(message, "Content-Type"), "text/plain");
    EXPECT_EQ(headerOf(message, "X-Mailer"), "(none)");
    // The server undoes the doubled dots: the lines arrive as written.
    EXPECT_EQ(bodyOf(message), "Silence detected!\r\n.hidden dot line\r\n.\r\n");

    ASSERT_TRUE(server.waitForClosedConnections(1));
    EXPECT_EQ(server.transcript(),
              (std::vector<std::string>{"EHLO " + computerName(), "RSET", "MAIL FROM:<monitor@example.org>",
                                        "RCPT TO:<desk@example.org>", "DATA", "QUIT", "<closed>"}));
}

TEST_F(EmailSenderTest, AHostNameIsLookedUpAndEachOfItsAddressesTried) {
    SmtpTestServer server;
    EmailSettings settings = settingsFor(server);
    settings.smtp = "localhost:" + std::to_string(server.port());
    send(settings, QueueKind::Return);
    EXPECT_EQ(logLines, sentTo("desk@example.org"));
    EXPECT_EQ(server.messages().size(), 1u);
}

TEST_F(EmailSenderTest, SslAndAuthenticationGoThroughStarttlsASecondEhloAndAuthLogin) {
    SmtpTestServer server({.starttls = true, .user = "monitor", .password = "s3cret"});
    EmailSettings settings = settingsFor(server);
    settings.ssl = true;
    settings.authenticate = true;
    settings.username = "monitor";
    settings.password = "s3cret";
    send(settings, QueueKind::Alarm);

    EXPECT_EQ(logLines, sentTo("desk@example.org"));
    const std::vector<std::string> messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(headerOf(messages[0], "X-Auth-User"), "monitor");
    // The highest version both sides speak.
    EXPECT_EQ(headerOf(messages[0], "X-TLS-Version"), "TLSv1.3");
    ASSERT_TRUE(server.waitForClosedConnections(1));
    const std::string ehlo = "EHLO " + computerName();
    EXPECT_EQ(server.transcript(),
              (std::vector<std::string>{ehlo, "STARTTLS", ehlo, "AUTH LOGIN", "RSET",
                                        "MAIL FROM:<monitor@example.org>", "RCPT TO:<desk@example.org>",
                                        "DATA", "QUIT", "<closed>"}));
}

TEST_F(EmailSenderTest, NoLoginOrMessageGoesToAServerWhoseCertificateIsNotTrusted) {
    struct Case {
        const char* certificate;
        bool tls10Only;
        bool pinned;     // TrustedCertificate holds the server's own fingerprint
        const char* log; // nothing: the message goes
    };
    const std::string refused = "Can't send email - the mail server's certificate is not trusted (";
    const std::string hint = "); Test in Setup shows it";
    const Case cases[] = {
        {"trusted", false, false, nullptr},
        {"self-signed", false, false, "self-signed certificate"},
        {"wrong-name", false, false, "hostname mismatch"},
        {"expired", false, false, "certificate has expired"},
        {"self-signed", false, true, nullptr},
        {"wrong-name", false, true, nullptr},
        {"trusted", true, false, "(handshake)"},
    };
    for (const bool implicitTls : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.certificate) + (c.pinned ? " pinned" : "") +
                         (c.tls10Only ? " TLS 1.0" : "") + (implicitTls ? " on port 465" : " with STARTTLS"));
            logLines.clear();
            SmtpTestServer server({.starttls = !implicitTls,
                                   .certificate = c.certificate,
                                   .tls10Only = c.tls10Only,
                                   .implicitTls = implicitTls,
                                   .user = "monitor",
                                   .password = "s3cret"});
            RedirectingNetwork redirecting(network, server.port());
            const std::unique_ptr<EmailSender> tested = senderOver(redirecting);
            EmailSettings settings = settingsFor(server);
            settings.smtp = implicitTls ? "localhost:465" : "localhost:" + std::to_string(server.port());
            settings.ssl = !implicitTls;
            settings.authenticate = true;
            settings.username = "monitor";
            settings.password = "s3cret";
            if (c.pinned)
                settings.trustedCertificate = test::testCertificates().fingerprint(c.certificate);
            send(*tested, settings);

            if (!c.log) {
                EXPECT_EQ(logLines, sentTo("desk@example.org"));
                EXPECT_EQ(server.messages().size(), 1u);
                continue;
            }
            ASSERT_EQ(logLines.size(), 1u);
            // A server that speaks only TLS 1.0 ends the handshake one way or another.
            if (std::string(c.log) == "(handshake)") {
                EXPECT_EQ(logLines[0].rfind("An error occured when trying to send email: The ", 0), 0u)
                    << logLines[0];
                EXPECT_EQ(server.messages().size(), 0u);
                continue;
            }
            EXPECT_EQ(logLines[0], refused + c.log + hint);
            ASSERT_TRUE(server.waitForClosedConnections(1));
            const std::vector<std::string> transcript = server.transcript();
            EXPECT_EQ(std::find(transcript.begin(), transcript.end(), "AUTH LOGIN"), transcript.end());
            EXPECT_EQ(server.messages().size(), 0u);
        }
    }
}

TEST_F(EmailSenderTest, AFingerprintIsReadAsOpensslPrintsItInAnyCaseWithOrWithoutColons) {
    SmtpTestServer server({.starttls = true, .certificate = "self-signed"});
    const std::string printed = test::testCertificates().fingerprint("self-signed");
    std::string lower;
    for (const char c : printed) {
        if (c != ':')
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EmailSettings settings = settingsFor(server);
    settings.ssl = true;
    for (const std::string& written : {"sha256 Fingerprint=" + printed, lower}) {
        settings.trustedCertificate = written;
        send(settings);
    }
    EXPECT_EQ(logLines, sentTo("desk@example.org", 2));
    EXPECT_EQ(server.messages().size(), 2u);
}

TEST_F(EmailSenderTest, Port465SpeaksTlsFromTheFirstByteAndNeverSendsStarttls) {
    SmtpTestServer server({.implicitTls = true, .user = "monitor", .password = "s3cret"});
    // The client sees port 465; the connection reaches the test server's own port.
    RedirectingNetwork redirecting(network, server.port());
    const std::unique_ptr<EmailSender> redirected = senderOver(redirecting);
    EmailSettings settings = settingsFor(server);
    settings.smtp = "localhost:465";
    settings.authenticate = true;
    settings.username = "monitor";
    settings.password = "s3cret";
    int sends = 0;
    for (const bool ssl : {false, true}) {
        settings.ssl = ssl;
        send(*redirected, settings, QueueKind::Alarm);
        ASSERT_TRUE(server.waitForClosedConnections(++sends)); // the transcript keeps the two apart
    }

    EXPECT_EQ(logLines, sentTo("desk@example.org", 2));
    EXPECT_EQ(redirecting.asked,
              (std::vector<std::pair<std::string, int>>{{"localhost", 465}, {"localhost", 465}}));
    const std::vector<std::string> messages = server.messages();
    ASSERT_EQ(messages.size(), 2u);
    for (const std::string& message : messages) {
        EXPECT_EQ(headerOf(message, "X-TLS-Version"), "TLSv1.3");
        EXPECT_EQ(headerOf(message, "X-Auth-User"), "monitor");
    }
    const std::vector<std::string> once = {
        "EHLO " + computerName(),     "AUTH LOGIN", "RSET", "MAIL FROM:<monitor@example.org>",
        "RCPT TO:<desk@example.org>", "DATA",       "QUIT", "<closed>"};
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(server.transcript(), twice);
}

TEST_F(EmailSenderTest, Port465WithAServerThatDoesNotSpeakTlsIsLoggedWithoutHanging) {
    const std::pair<const char*, const char*> cases[] = {
        {"smtp", "The TLS handshake failed"},                    // a plain greeting instead of TLS
        {"silent", "The TLS handshake did not finish in time."}, // no answer at all
    };
    for (const auto& [mode, error] : cases) {
        SCOPED_TRACE(mode);
        logLines.clear();
        SmtpTestServer server({.mode = mode});
        RedirectingNetwork redirecting(network, server.port());
        const std::unique_ptr<EmailSender> fast = senderOver(redirecting, fastTimeouts);
        EmailSettings settings = settingsFor(server);
        settings.smtp = "mail.example.org:465";
        const auto start = std::chrono::steady_clock::now();
        send(*fast, settings, QueueKind::Alarm);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
        ASSERT_EQ(logLines.size(), 1u);
        EXPECT_EQ(logLines[0].rfind("An error occured when trying to send email: " + std::string(error), 0),
                  0u)
            << logLines[0];
    }
}

TEST_F(EmailSenderTest, AWrongPasswordIsLoggedWithTheServersReplyText) {
    SmtpTestServer server({.starttls = true, .user = "monitor", .password = "s3cret"});
    EmailSettings settings = settingsFor(server);
    settings.ssl = true;
    settings.authenticate = true;
    settings.username = "monitor";
    settings.password = "wrong";
    send(settings, QueueKind::Alarm);

    EXPECT_EQ(logLines,
              std::vector<std::string>{
                  "An error occured when trying to send email: 5.7.8 Authentication credentials invalid"});
    EXPECT_EQ(server.messages().size(), 0u);
    ASSERT_TRUE(server.waitForClosedConnections(1));
    const std::vector<std::string> transcript = server.transcript();
    EXPECT_EQ(std::vector<std::string>(transcript.end() - 2, transcript.end()),
              (std::vector<std::string>{"QUIT", "<closed>"}));
}

TEST_F(EmailSenderTest, SslWithAServerThatDoesNotOfferStarttlsFailsWithTheServersReplyText) {
    SmtpTestServer server;
    EmailSettings settings = settingsFor(server);
    settings.ssl = true;
    send(settings, QueueKind::Alarm);
    EXPECT_EQ(logLines,
              std::vector<std::string>{"An error occured when trying to send email: TLS not available"});
    EXPECT_EQ(server.messages().size(), 0u);
}

TEST_F(EmailSenderTest, AServerThatRefusesEhloIsGreetedWithHelo) {
    SmtpTestServer server({.refuseEhlo = true});
    send(settingsFor(server), QueueKind::Alarm);
    EXPECT_EQ(logLines, sentTo("desk@example.org"));
    ASSERT_EQ(server.messages().size(), 1u);
    const std::vector<std::string> transcript = server.transcript();
    ASSERT_GE(transcript.size(), 3u);
    EXPECT_EQ(transcript[0], "EHLO " + computerName());
    EXPECT_EQ(transcript[1], "HELO " + computerName());
    EXPECT_EQ(transcript[2], "RSET");
}

TEST_F(EmailSenderTest, TwoRecipientsGetOneRcptToEachInTheOrderWritten) {
    SmtpTestServer server;
    EmailSettings settings = settingsFor(server);
    settings.to = "Night desk <night@example.org>,boss@example.org";
    send(settings, QueueKind::Alarm);
    EXPECT_EQ(logLines, sentTo("night@example.org, boss@example.org"));

    const std::vector<std::string> messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(headerOf(messages[0], "X-Rcpt-To"), "night@example.org,boss@example.org");
    EXPECT_EQ(headerOf(messages[0], "To"), "Night desk <night@example.org>, boss@example.org");
    const std::vector<std::string> transcript = server.transcript();
    const auto first = std::find(transcript.begin(), transcript.end(), "RCPT TO:<night@example.org>");
    ASSERT_NE(first, transcript.end());
    ASSERT_NE(first + 1, transcript.end());
    EXPECT_EQ(*(first + 1), "RCPT TO:<boss@example.org>");
}

TEST_F(EmailSenderTest, MailFromCarriesTheBareAddressOfFromAndTheHeaderKeepsItsDisplayName) {
    struct Case {
        const char* from;
        const char* mailFrom;
        const char* header;
    };
    const Case cases[] = {
        {"monitor@example.org", "monitor@example.org", "monitor@example.org"},
        {"Studio <studio@example.org>", "studio@example.org", "Studio <studio@example.org>"},
        {"\"Night, desk\" <night@example.org>", "night@example.org", "\"Night, desk\" <night@example.org>"},
    };
    SmtpTestServer server;
    EmailSettings settings = settingsFor(server);
    for (const Case& each : cases) {
        settings.from = each.from;
        send(settings, QueueKind::Alarm);
    }

    EXPECT_EQ(logLines, sentTo("desk@example.org", 3));
    const std::vector<std::string> messages = server.messages();
    ASSERT_EQ(messages.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].from);
        // What the server took from the MAIL FROM command.
        EXPECT_EQ(headerOf(messages[i], "X-Mail-From"), cases[i].mailFrom);
        EXPECT_EQ(headerOf(messages[i], "From"), cases[i].header);
    }
}

TEST_F(EmailSenderTest, AnExistingFileIsAttachedUnderItsNameAndAMissingOneIsLeftOutSilently) {
    SmtpTestServer server;
    const std::string picture("\xff\xd8\xff\xe0 not really a jpeg \x00\x01\x02", 26);
    test::writeWholeFile(folder.file("shot.jpg"), picture);
    EmailSettings settings = settingsFor(server);
    settings.file = folder.file("shot.jpg");
    send(settings, QueueKind::Alarm);
    settings.file = folder.file("missing.jpg");
    send(settings, QueueKind::Alarm);

    EXPECT_EQ(logLines, sentTo("desk@example.org", 2));
    const std::vector<std::string> messages = server.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(headerOf(messages[0], "MIME-Version"), "1.0");
    EXPECT_EQ(headerOf(messages[0], "Content-Type").rfind("multipart/mixed;", 0), 0u);
    EXPECT_NE(messages[0].find("This is a multi-part message in MIME format"), std::string::npos);
    EXPECT_NE(messages[0].find("name=\"shot.jpg\""), std::string::npos);
    EXPECT_NE(messages[0].find("filename=\"shot.jpg\""), std::string::npos);
    EXPECT_EQ(messages[0].find(folder.path()), std::string::npos); // the folder is not part of the name
    EXPECT_EQ(attachmentOf(messages[0]), picture);

    EXPECT_EQ(headerOf(messages[1], "Content-Type"), "text/plain");
    EXPECT_EQ(bodyOf(messages[1]), "Silence detected!\r\n");
}

// A relative name is looked for where the screenshot task writes relative names: the data folder.
TEST_F(EmailSenderTest, ARelativeAttachmentIsTakenFromTheDataFolder) {
    SmtpTestServer server;
    test::writeWholeFile(folder.file("shot.jpg"), "picture in the data folder");
    sender->setDataFolder([this] { return folder.path() + "/"; });
    EmailSettings settings = settingsFor(server);
    settings.file = "shot.jpg";
    send(settings);
    const std::vector<std::string> messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(attachmentOf(messages[0]), "picture in the data folder");
}

TEST_F(EmailSenderTest, TwoSendsCarryOneAttachmentEachNotAnAccumulation) {
    SmtpTestServer server;
    test::writeWholeFile(folder.file("shot.jpg"), "picture");
    EmailSettings settings = settingsFor(server);
    settings.file = folder.file("shot.jpg");
    send(settings, QueueKind::Alarm);
    send(settings, QueueKind::Alarm);

    const std::vector<std::string> messages = server.messages();
    ASSERT_EQ(messages.size(), 2u);
    for (const std::string& message : messages)
        EXPECT_EQ(occurrences(message, "Content-Disposition: attachment"), 1u);
}

TEST_F(EmailSenderTest, PlaceholdersAreExpandedInSubjectBodyAndAttachmentNameOnly) {
    SmtpTestServer server;
    test::writeWholeFile(folder.file("2024-03-07.jpg"), "picture of the day");
    EmailSettings settings = settingsFor(server);
    settings.subject = "Silence %date %time:";
    settings.message = "Silence detected!%br(%date %time, channel: %channel)";
    settings.file = folder.file("%date.jpg");
    settings.to = "desk@example.org";
    send(settings, QueueKind::Alarm);

    EXPECT_EQ(logLines, sentTo("desk@example.org"));
    const std::vector<std::string> messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(headerOf(messages[0], "Subject"), "Silence 2024-03-07 14:05:09");
    EXPECT_NE(
        messages[0].find("\r\n\r\nSilence detected!\r\n(2024-03-07 14-05-09, channel: Left and Right)\r\n"),
        std::string::npos);
    EXPECT_NE(messages[0].find("filename=\"2024-03-07.jpg\""), std::string::npos);
    EXPECT_EQ(attachmentOf(messages[0]), "picture of the day");
}

TEST_F(EmailSenderTest, TheServerTextGivesHostAndPortByItsColonRule) {
    SmtpTestServer server;
    RedirectingNetwork redirecting(network, server.port());
    const std::unique_ptr<EmailSender> redirected = senderOver(redirecting);
    EmailSettings settings = settingsFor(server);
    for (const char* text : {"mail.example.org:587", "mail.example.org", "mail.example.org:x", "ab:25"}) {
        settings.smtp = text;
        send(*redirected, settings, QueueKind::Alarm);
    }
    EXPECT_EQ(logLines, sentTo("desk@example.org", 4));
    EXPECT_EQ(
        redirecting.asked,
        (std::vector<std::pair<std::string, int>>{
            {"mail.example.org", 587}, {"mail.example.org", 25}, {"mail.example.org", 25}, {"ab:25", 25}}));
    EXPECT_EQ(server.messages().size(), 4u);
}

TEST_F(EmailSenderTest, APortOutsideTheRangeIsLoggedWithoutConnecting) {
    SmtpTestServer server;
    RedirectingNetwork redirecting(network, server.port());
    const std::unique_ptr<EmailSender> redirected = senderOver(redirecting);
    EmailSettings settings = settingsFor(server);
    settings.smtp = "mail.example.org:99999";
    send(*redirected, settings, QueueKind::Alarm);
    EXPECT_EQ(logLines,
              std::vector<std::string>{"An error occured when trying to send email: The SMTP server's "
                                       "port 99999 is not between 1 and 65535."});
    EXPECT_TRUE(redirecting.asked.empty());
}

TEST_F(EmailSenderTest, AServerThatRefusesTheConnectionIsLogged) {
    test::RefusingPort refusing;
    EmailSettings settings;
    settings.smtp = "127.0.0.1:" + std::to_string(refusing.port());
    send(settings, QueueKind::Alarm);
    EXPECT_EQ(logLines,
              std::vector<std::string>{"An error occured when trying to send email: Could not connect to "
                                       "127.0.0.1:" +
                                       std::to_string(refusing.port()) + ": Connection refused"});
}

TEST_F(EmailSenderTest, AServerThatNeverAnswersEndsAtTheReplyTimeOut) {
    SmtpTestServer server({.mode = "silent"});
    const std::unique_ptr<EmailSender> fast = senderOver(network, fastTimeouts);
    const auto start = std::chrono::steady_clock::now();
    send(*fast, settingsFor(server), QueueKind::Alarm);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(logLines, std::vector<std::string>{
                            "An error occured when trying to send email: The SMTP server gave no whole reply "
                            "within 300 ms."});
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 1500ms);
}

TEST_F(EmailSenderTest, AServerDrippingBytesIsCutOffAtTheDeadlineForTheWholeReply) {
    // Each byte comes well inside the time-out; only the reply as a whole is late.
    SmtpTestServer server({.mode = "drip", .dripIntervalMs = 30});
    const std::unique_ptr<EmailSender> fast = senderOver(network, fastTimeouts);
    const auto start = std::chrono::steady_clock::now();
    send(*fast, settingsFor(server), QueueKind::Alarm);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(logLines, std::vector<std::string>{
                            "An error occured when trying to send email: The SMTP server gave no whole reply "
                            "within 300 ms."});
    EXPECT_LT(took, 1500ms);
}

TEST_F(EmailSenderTest, AServerThatNeverDoesTheTlsHandshakeEndsAtTheReplyTimeOut) {
    SmtpTestServer server({.mode = "tls-stall"});
    const std::unique_ptr<EmailSender> fast = senderOver(network, fastTimeouts);
    EmailSettings settings = settingsFor(server);
    settings.ssl = true;
    const auto start = std::chrono::steady_clock::now();
    send(*fast, settings, QueueKind::Alarm);
    EXPECT_EQ(logLines,
              std::vector<std::string>{"An error occured when trying to send email: The TLS handshake "
                                       "did not finish in time."});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
}

TEST_F(EmailSenderTest, AnOverlongReplyLineFailsWithoutWaitingForItsEnd) {
    SmtpTestServer server({.mode = "long-line"});
    const auto start = std::chrono::steady_clock::now();
    send(settingsFor(server), QueueKind::Alarm);
    EXPECT_EQ(logLines,
              std::vector<std::string>{"An error occured when trying to send email: The SMTP server sent "
                                       "a reply line longer than 2048 bytes."});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(EmailSenderTest, AnEndlessMultiLineReplyFailsWithoutWaitingForItsEnd) {
    SmtpTestServer server({.mode = "endless-reply"});
    const auto start = std::chrono::steady_clock::now();
    send(settingsFor(server), QueueKind::Alarm);
    EXPECT_EQ(logLines,
              std::vector<std::string>{"An error occured when trying to send email: The SMTP server sent "
                                       "a reply longer than 16384 bytes."});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(EmailSenderTest, AFailureOfAnUnknownKindIsLoggedAsAnUnknownError) {
    EmailSender throwing(
        loop, network, productName(), [](std::string_view) -> std::string { throw 42; },
        [this](const std::string& line) { logLines.push_back(line); });
    bool finished = false;
    EXPECT_NO_THROW(throwing.sendEmail(EmailSettings{}, QueueKind::Alarm, [&finished] { finished = true; }));
    EXPECT_TRUE(finished);
    EXPECT_EQ(logLines, std::vector<std::string>{"An unknown error occured when trying to send email."});
}

TEST_F(EmailSenderTest, AnAddressWithALineBreakIsRefusedBeforeItReachesTheServer) {
    SmtpTestServer server;
    EmailSettings settings = settingsFor(server);
    settings.to = "desk@example.org>\r\nRCPT TO:<other@example.org";
    send(settings, QueueKind::Alarm);
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_EQ(
        logLines[0].rfind("An error occured when trying to send email: The recipient address holds a line "
                          "break",
                          0),
        0u)
        << logLines[0];
    EXPECT_EQ(server.messages().size(), 0u);
    EXPECT_EQ(server.transcript(), std::vector<std::string>{});
}

TEST_F(EmailSenderTest, TheTestButtonSendsTheFixedMessageWithoutPlaceholdersOrAttachment) {
    SmtpTestServer server;
    test::writeWholeFile(folder.file("shot.jpg"), "picture");
    EmailSettings settings = settingsFor(server);
    settings.subject = "Silence %date";
    settings.file = folder.file("shot.jpg");
    RecordingMessageBoxes boxes;
    EXPECT_TRUE(test(settings, QueueKind::Alarm, boxes).sent);

    EXPECT_EQ(boxes.shown,
              std::vector<std::string>{"Test email has been sent. Check your mailbox after a few minutes."});
    EXPECT_EQ(logLines, sentTo("desk@example.org"));
    const std::vector<std::string> messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(headerOf(messages[0], "Subject"), productName() + " Test");
    EXPECT_EQ(headerOf(messages[0], "Content-Type"), "text/plain");
    EXPECT_EQ(bodyOf(messages[0]), productName() + " Test\r\n");
    EXPECT_EQ(headerOf(messages[0], "X-Rcpt-To"), "desk@example.org");
}

TEST_F(EmailSenderTest, TheAlarmPagesTestButtonReportsAFailureInTheLogAndABox) {
    SmtpTestServer server({.starttls = true, .user = "monitor", .password = "s3cret"});
    EmailSettings settings = settingsFor(server);
    settings.ssl = true;
    settings.authenticate = true;
    settings.username = "monitor";
    settings.password = "wrong";
    RecordingMessageBoxes boxes;
    EXPECT_FALSE(test(settings, QueueKind::Alarm, boxes).sent);
    EXPECT_EQ(logLines, std::vector<std::string>{
                            "Test email message cannot be sent - 5.7.8 Authentication credentials invalid"});
    EXPECT_EQ(boxes.shown, std::vector<std::string>{"ERROR: 5.7.8 Authentication credentials invalid"});
}

TEST_F(EmailSenderTest, TheReturnPagesTestButtonWordsItsLogLineDifferently) {
    test::RefusingPort refusing;
    EmailSettings settings;
    settings.smtp = "127.0.0.1:" + std::to_string(refusing.port());
    RecordingMessageBoxes boxes;
    EXPECT_FALSE(test(settings, QueueKind::Return, boxes).sent);
    const std::string error =
        "Could not connect to 127.0.0.1:" + std::to_string(refusing.port()) + ": Connection refused";
    EXPECT_EQ(logLines, std::vector<std::string>{"Test email message can not be sent - " + error});
    EXPECT_EQ(boxes.shown, std::vector<std::string>{"ERROR: " + error});
}

TEST_F(EmailSenderTest, TheTestShowsAnUntrustedCertificateAndHandsBackItsFingerprintWhenTrusted) {
    SmtpTestServer server({.starttls = true, .certificate = "self-signed"});
    EmailSettings settings = settingsFor(server);
    settings.ssl = true;
    for (const bool trust : {false, true}) {
        SCOPED_TRACE(trust ? "trusted" : "not trusted");
        logLines.clear();
        RecordingMessageBoxes boxes;
        boxes.trust = trust;
        const EmailTask::TestOutcome outcome = test(settings, QueueKind::Return, boxes);

        EXPECT_FALSE(outcome.sent);
        EXPECT_EQ(outcome.certificateToTrust,
                  trust ? test::testCertificates().fingerprint("self-signed") : "");
        EXPECT_EQ(logLines, std::vector<std::string>{"Test email message can not be sent - the mail server's "
                                                     "certificate is not trusted (self-signed certificate)"});
        ASSERT_EQ(boxes.shown.size(), 1u);
        const std::string& question = boxes.shown[0];
        for (const std::string& part :
             {std::string(
                  "Subject: CN=localhost, O=quietmon tests\nIssuer: CN=localhost, O=quietmon tests\n"),
              "SHA-256 fingerprint: " + test::testCertificates().fingerprint("self-signed"),
              "Trust this certificate for " + server.address() + "?"})
            EXPECT_NE(question.find(part), std::string::npos) << question;
    }
    settings.trustedCertificate = test::testCertificates().fingerprint("self-signed");
    RecordingMessageBoxes boxes;
    EXPECT_TRUE(test(settings, QueueKind::Return, boxes).sent);
    EXPECT_EQ(server.messages().size(), 1u);
}

TEST_F(EmailSenderTest, ASendRunsInTheBackgroundInTurnAndEndsAtItsDeadlineHoweverSlowlyTheServerAnswers) {
    // Every reply comes well inside the reply time-out; only the send as a whole is too slow.
    SmtpTestServer slow({.mode = "slow", .dripIntervalMs = 300});
    SmtpTestServer quick;
    const std::unique_ptr<EmailSender> tested = senderOver(network, {2000ms, 1000ms, 1000ms, 1000ms});
    std::vector<std::string> finished;
    const auto start = std::chrono::steady_clock::now();
    tested->sendEmail(settingsFor(slow), QueueKind::Alarm, [&] { finished.push_back("slow"); });
    tested->sendEmail(settingsFor(quick), QueueKind::Alarm, [&] { finished.push_back("quick"); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
    EXPECT_TRUE(tested->busy());

    ASSERT_TRUE(loop.runUntil([&] { return finished.size() == 2; }, 10s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1000ms);
    EXPECT_EQ(finished, (std::vector<std::string>{"slow", "quick"}));
    EXPECT_EQ(logLines,
              (std::vector<std::string>{"An error occured when trying to send email: The SMTP server "
                                        "did not take the message within 1000 ms.",
                                        "Email sent to desk@example.org"}));
    EXPECT_EQ(quick.messages().size(), 1u);
    EXPECT_FALSE(tested->busy());
}

TEST_F(EmailSenderTest, ASenderGoneMidSendStopsItsWorkerAtOnceAndReportsNothing) {
    SmtpTestServer silent({.mode = "silent"});
    std::unique_ptr<EmailSender> tested = senderOver(network);
    bool finished = false;
    tested->sendEmail(settingsFor(silent), QueueKind::Alarm, [&finished] { finished = true; });
    tested->sendEmail(settingsFor(silent), QueueKind::Alarm, [&finished] { finished = true; });
    std::this_thread::sleep_for(300ms); // well into the wait for the greeting
    const auto start = std::chrono::steady_clock::now();
    tested.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
    loop.runPending();
    EXPECT_FALSE(finished);
    EXPECT_EQ(logLines, std::vector<std::string>{});
}

} // namespace
} // namespace quietmon
