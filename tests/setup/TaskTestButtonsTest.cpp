// The "Test" buttons of the "Send email" and "Send HTTP query" sub-pages, through the dialog, against
// real servers on the loopback interface.
#include "config/ProductName.h"
#include "platform/linux/CurlHttpTransport.h"
#include "platform/linux/PosixNetwork.h"
#include "setup/TaskPagesHarness.h"
#include "support/LoopbackHttpServer.h"
#include "support/SmtpTestServer.h"
#include "support/WakingEventLoop.h"
#include "tasks/Placeholders.h"
#include "tasks/email/EmailSender.h"
#include "tasks/http/HttpQuery.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace quietmon {
namespace {

using namespace std::chrono_literals;
using test::SmtpTestServer;

const char* const logEvents = "[General]\nLogEvents=1\n";

class TaskTestButtonsTest : public ::testing::Test, protected test::TaskPagesHarness {
protected:
    // The lines the log got, without their dates.
    std::vector<std::string> loggedTexts() const {
        std::vector<std::string> texts;
        std::istringstream lines(logText());
        for (std::string line; std::getline(lines, line);) {
            const std::size_t text = line.find("; ");
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (text != std::string::npos && line.find("Test email") != std::string::npos)
                texts.push_back(line.substr(text + 2));
        }
        return texts;
    }

    void fill(QWidget& page, const char* caption, const std::string& text) {
        field(page, QString::fromLatin1(caption))->setText(QString::fromStdString(text));
    }

    // The program's own email task, its outcomes delivered by `emailLoop`.
    EmailSender& useEmailSender(SmtpTimeouts timeouts) {
        m_sender = std::make_unique<EmailSender>(
            emailLoop, m_network, productName(),
            [this](std::string_view text) { return expandPlaceholders(text, monitor.alarmState()); },
            [this](const std::string& line) { monitor.logEvent(line); }, timeouts);
        monitor.tasks().set(TaskKind::SendEmail, m_sender.get());
        return *m_sender;
    }

    test::TrustTestAuthority trustTestAuthority;
    test::WakingEventLoop emailLoop;

private:
    PosixNetwork m_network;
    std::unique_ptr<EmailSender> m_sender;
};

// A loopback port whose connections never complete: its one place in the queue of connections not yet
// accepted is taken, so the system drops every further attempt, as a host that does not answer does.
class NeverAcceptingPort {
public:
    NeverAcceptingPort() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listener, 0) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("no listening socket");
        m_port = ntohs(address.sin_port);
        m_waiting = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(m_waiting, reinterpret_cast<sockaddr*>(&address), length) != 0)
            throw std::runtime_error("the queue could not be filled");
    }
    ~NeverAcceptingPort() {
        ::close(m_waiting);
        ::close(m_listener);
    }
    NeverAcceptingPort(const NeverAcceptingPort&) = delete;
    NeverAcceptingPort& operator=(const NeverAcceptingPort&) = delete;
    int port() const { return m_port; }

private:
    int m_listener = -1;
    int m_waiting = -1;
    int m_port = 0;
};

enum class Peer { SmtpServer, RefusingPort, NeverAcceptingPort };

struct EmailTestCase {
    const char* name;
    QueueKind queue;
    Peer peer;
    test::SmtpTestServerOptions server;
    bool login;
    const char* password;
    // Nothing: the message goes. For a port, the reason the connection failed.
    const char* error;
};

void PrintTo(const EmailTestCase& c, std::ostream* out) {
    *out << c.name;
}

class EmailTestButtonTest : public TaskTestButtonsTest,
                            public ::testing::WithParamInterface<EmailTestCase> {};

TEST_P(EmailTestButtonTest, SendsTheFixedMessageAndReportsInABoxAndTheLog) {
    const EmailTestCase& c = GetParam();
    start(logEvents);
    // Time-outs short enough for a peer that never answers.
    EmailSender& sender = useEmailSender(SmtpTimeouts{300ms, 300ms});
    SmtpTestServer server(c.server);
    test::RefusingPort refusing;
    NeverAcceptingPort neverAccepting;
    const int port = c.peer == Peer::SmtpServer     ? server.port()
                     : c.peer == Peer::RefusingPort ? refusing.port()
                                                    : neverAccepting.port();

    QWidget& page = subPage(c.queue, "Send email");
    fill(page, "From", "monitor@example.org");
    fill(page, "To", "desk@example.org");
    fill(page, "Subject", "Silence %date");
    fill(page, "Outgoing SMTP server", "127.0.0.1:" + std::to_string(port));
    if (c.login) {
        button(page, QStringLiteral("Requires authentication:"))->click();
        button(page, QStringLiteral("SSL"))->click();
        fill(page, "Username", "monitor");
        fill(page, "Password", c.password);
    }
    const auto started = std::chrono::steady_clock::now();
    QAbstractButton* test = button(page, QStringLiteral("Test"));
    test->click();
    // The dialog goes on while the test runs; its button waits for the outcome.
    EXPECT_TRUE(sender.busy());
    EXPECT_FALSE(test->isEnabled());
    ASSERT_TRUE(emailLoop.runUntil([&] { return !sender.busy() && test->isEnabled(); }, 10s));

    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    const std::vector<std::string> received = server.messages();
    if (!c.error) {
        EXPECT_EQ(messages.shown, std::vector<std::string>{
                                      "Test email has been sent. Check your mailbox after a few minutes."});
        EXPECT_EQ(loggedTexts(), std::vector<std::string>{});
        ASSERT_EQ(received.size(), 1u);
        EXPECT_NE(received[0].find("\r\nSubject: " + productName() + " Test\r\n"), std::string::npos);
        return;
    }
    std::string error = c.error;
    if (c.peer != Peer::SmtpServer)
        error = "Could not connect to 127.0.0.1:" + std::to_string(port) + ": " + error;
    EXPECT_EQ(messages.shown, std::vector<std::string>{"ERROR: " + error});
    const std::string logged = c.queue == QueueKind::Alarm ? "Test email message cannot be sent - "
                                                           : "Test email message can not be sent - ";
    EXPECT_EQ(loggedTexts(), std::vector<std::string>{logged + error});
    EXPECT_EQ(received.size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    BothQueues, EmailTestButtonTest,
    ::testing::Values(EmailTestCase{"AlarmWithStarttlsAndLogin",
                                    QueueKind::Alarm,
                                    Peer::SmtpServer,
                                    {.starttls = true, .user = "monitor", .password = "s3cret"},
                                    true,
                                    "s3cret",
                                    nullptr},
                      EmailTestCase{"AlarmWithARefusedLogin",
                                    QueueKind::Alarm,
                                    Peer::SmtpServer,
                                    {.starttls = true, .user = "monitor", .password = "s3cret"},
                                    true,
                                    "wrong",
                                    "5.7.8 Authentication credentials invalid"},
                      EmailTestCase{"AlarmToAHostThatNeverTakesTheConnection",
                                    QueueKind::Alarm,
                                    Peer::NeverAcceptingPort,
                                    {},
                                    false,
                                    "",
                                    "the connection timed out"},
                      EmailTestCase{"ReturnToAServerThatNeverAnswers",
                                    QueueKind::Return,
                                    Peer::SmtpServer,
                                    {.mode = "silent"},
                                    false,
                                    "",
                                    "The SMTP server gave no whole reply within 300 ms."},
                      EmailTestCase{"ReturnToAPortWhereNothingListens",
                                    QueueKind::Return,
                                    Peer::RefusingPort,
                                    {},
                                    false,
                                    "",
                                    "Connection refused"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TaskTestButtonsTest, AServerCertificateTrustedInTheTestsBoxIsStoredAndTheTestSentAgain) {
    start(logEvents);
    EmailSender& sender = useEmailSender({});
    SmtpTestServer server({.starttls = true, .certificate = "self-signed"});
    QWidget& page = subPage(QueueKind::Alarm, "Send email");
    fill(page, "From", "monitor@example.org");
    fill(page, "To", "desk@example.org");
    fill(page, "Outgoing SMTP server", server.address());
    button(page, QStringLiteral("SSL"))->click();
    messages.confirmAnswer = true;
    QAbstractButton* test = button(page, QStringLiteral("Test"));
    test->click();
    ASSERT_TRUE(emailLoop.runUntil([&] { return !sender.busy() && test->isEnabled(); }, 10s));

    const std::string fingerprint = test::testCertificates().fingerprint("self-signed");
    EXPECT_EQ(monitor.settings().alarmQueue.of<TaskKind::SendEmail>().trustedCertificate, fingerprint);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_NE(messages.shown[0].find("SHA-256 fingerprint: " + fingerprint), std::string::npos);
    EXPECT_EQ(messages.shown[1], "Test email has been sent. Check your mailbox after a few minutes.");
    EXPECT_EQ(server.messages().size(), 1u);
    EXPECT_EQ(loggedTexts(),
              std::vector<std::string>{"Test email message cannot be sent - the mail server's "
                                       "certificate is not trusted (self-signed certificate)"});
}

TEST_F(TaskTestButtonsTest, TheHttpTestShowsTheAnswerOrTheFailureAndTheUntouchedAddressSendsNothing) {
    start();
    test::WakingEventLoop httpLoop;
    CurlHttpTransport transport;
    HttpQuery query(
        httpLoop, transport,
        [this](std::string_view text) { return expandPlaceholdersForUrl(text, monitor.alarmState()); },
        messages, [](const std::string&) {});
    monitor.tasks().set(TaskKind::SendHttpQuery, &query);
    test::LoopbackHttpServer server([](test::LoopbackHttpServer::Exchange& exchange) {
        exchange.send(test::LoopbackHttpServer::answer(200, "OK", "on air"));
    });
    const std::string nowhere = "http://127.0.0.1:" + std::to_string(test::unusedLoopbackPort()) + "/status";

    struct Case {
        QueueKind queue;
        std::string address;
        std::string box; // nothing shown when empty
    };
    const Case cases[] = {
        {QueueKind::Alarm, server.url("/status"),
         "Status: 200 OK\nURL: " + server.url("/status") + "?station=north \nResponse: on air"},
        {QueueKind::Return, nowhere,
         "Status: Connection refused\nURL: " + nowhere + "?station=north \nResponse: Error"},
        {QueueKind::Return, "http://", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        messages.shown.clear();
        QWidget& page = subPage(c.queue, "Send HTTP query");
        fill(page, "Address", c.address);
        fill(page, "Query", "station=north");
        button(page, QStringLiteral("Test"))->click();
        ASSERT_TRUE(httpLoop.runUntil([&query] { return !query.busy(); }, 10s));
        EXPECT_EQ(messages.shown,
                  c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
    }
    EXPECT_EQ(server.requests().size(), 1u);
}

} // namespace
} // namespace quietmon
