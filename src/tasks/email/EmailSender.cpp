#include "tasks/email/EmailSender.h"

#include "config/CertificateFingerprint.h"
#include "config/SmtpServerAddress.h"
#include "runtime/FileSystem.h"
#include "runtime/TimeZone.h"
#include "tasks/email/EmailAddress.h"

#include <exception>
#include <utility>
#include <vector>

namespace quietmon {

namespace {

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The addresses the server was given, as RCPT TO named them.
std::string recipientList(const std::vector<std::string>& recipients) {
    std::string list;
    for (const std::string& recipient : recipients)
        list += (list.empty() ? "" : ", ") + recipient;
    return list;
}

std::string untrustedText(const CertificateDetails& details) {
    return "the mail server's certificate is not trusted (" + details.problem + ")";
}

} // namespace

EmailSender::EmailSender(EventLoop& loop, Network& network, std::string productName, Expand expand, Log log,
                         SmtpTimeouts timeouts, SmtpReplyLimits limits)
    : m_loop(loop), m_network(network), m_productName(std::move(productName)), m_expand(std::move(expand)),
      m_log(std::move(log)), m_timeouts(timeouts), m_limits(limits) {}

EmailSender::~EmailSender() {
    m_self.reset();
    m_waiting.clear();
    // The jthread asks the worker to stop and joins it; every wait of the exchange looks at the stop.
}

void EmailSender::sendEmail(const EmailSettings& settings, QueueKind queue, std::function<void()> finished) {
    auto report = [log = m_log, finished = std::move(finished)](const Outcome& outcome) {
        if (outcome.untrusted)
            log.failure(TaskKind::SendEmail, "Can't send email - " + untrustedText(*outcome.untrusted) +
                                                 "; Test in Setup shows it");
        else if (outcome.unknownFailure)
            log.failure(TaskKind::SendEmail, "An unknown error occured when trying to send email.");
        else if (!outcome.failure.empty())
            log.failure(TaskKind::SendEmail,
                        "An error occured when trying to send email: " + outcome.failure);
        if (finished)
            finished();
    };
    Send send;
    try {
        send = composeTaskSend(settings, queue);
    } catch (const std::exception& error) {
        report({.failure = error.what()});
        return;
    } catch (...) {
        report({.unknownFailure = true});
        return;
    }
    send.finished = std::move(report);
    enqueue(std::move(send));
}

void EmailSender::sendTest(const EmailSettings& settings, QueueKind queue, MessageBoxes& messages,
                           std::function<void(const TestOutcome&)> finished) {
    const std::string text = m_productName + " Test";
    Send send = composeSend(settings, text, text);
    send.finished = [this, settings, queue, &messages, finished = std::move(finished)](
                        const Outcome& outcome) { reportTest(outcome, settings, queue, messages, finished); };
    enqueue(std::move(send));
}

void EmailSender::reportTest(const Outcome& outcome, const EmailSettings& settings, QueueKind queue,
                             MessageBoxes& messages,
                             const std::function<void(const TestOutcome&)>& finished) {
    TestOutcome result;
    if (outcome.sent()) {
        messages.inform("Test email has been sent. Check your mailbox after a few minutes.");
        result.sent = true;
    } else {
        const std::string failure = outcome.untrusted        ? untrustedText(*outcome.untrusted)
                                    : outcome.unknownFailure ? std::string("unknown error")
                                                             : outcome.failure;
        m_log((queue == QueueKind::Alarm ? "Test email message cannot be sent - "
                                         : "Test email message can not be sent - ") +
              failure);
        if (!outcome.untrusted)
            messages.inform("ERROR: " + failure);
        else if (messages.confirm(untrustedCertificateQuestion(*outcome.untrusted, settings.smtp)))
            result.certificateToTrust = formatCertificateFingerprint(outcome.untrusted->sha256);
    }
    if (finished)
        finished(result);
}

EmailSender::Send EmailSender::composeTaskSend(const EmailSettings& settings, QueueKind queue) const {
    Send send = composeSend(settings, m_expand(settings.subject), m_expand(settings.message));
    send.attachmentPath = m_expand(settings.file);
    if (!send.attachmentPath.empty() && !send.attachmentPath.starts_with('/') && m_dataFolder)
        send.attachmentPath.insert(0, m_dataFolder());
    if (m_evidence && (settings.attachLevelGraph || settings.attachAudioClip))
        send.message.madeAttachments = m_evidence(settings, queue);
    return send;
}

EmailSender::Send EmailSender::composeSend(const EmailSettings& settings, std::string subject,
                                           std::string body) const {
    Send send;
    MimeMessage& message = send.message;
    message.from = settings.from;
    message.to = splitEmailAddressList(settings.to);
    message.subject = std::move(subject);
    message.bodyLines = splitTextLines(body);
    message.date = m_loop.clock().now();
    message.utcOffsetMinutes = utcOffsetMinutes(message.date);

    SmtpEnvelope& envelope = send.envelope;
    const SmtpServerAddress server = parseSmtpServerText(settings.smtp);
    envelope.host = server.host;
    envelope.port = server.port;
    envelope.implicitTls = server.port == SmtpServerAddress::implicitTlsPort;
    envelope.startTls = settings.ssl;
    envelope.authenticate = settings.authenticate;
    envelope.username = settings.username;
    envelope.password = settings.password;
    envelope.trust.pinnedSha256 = parseCertificateFingerprint(settings.trustedCertificate);
    // MAIL FROM takes the bare address; the From header keeps the display name.
    envelope.sender = parseEmailAddress(settings.from).address;
    for (const EmailAddress& recipient : message.to)
        envelope.recipients.push_back(recipient.address);
    return send;
}

void EmailSender::enqueue(Send send) {
    m_waiting.push_back(std::move(send));
    if (!m_worker.joinable())
        startNext();
}

void EmailSender::startNext() {
    while (!m_waiting.empty()) {
        Send send = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_runningFinished = std::move(send.finished);
        try {
            m_worker =
                std::jthread([&loop = m_loop, &network = m_network, timeouts = m_timeouts, limits = m_limits,
                              send = std::move(send),
                              self = std::weak_ptr<EmailSender*>(m_self)](std::stop_token stop) mutable {
                    Outcome outcome = deliver(send, network, timeouts, limits, stop);
                    if (stop.stop_requested())
                        return;
                    loop.post([self, outcome = std::move(outcome)]() mutable {
                        if (const std::shared_ptr<EmailSender*> alive = self.lock())
                            (*alive)->sendFinished(std::move(outcome));
                    });
                });
            return;
        } catch (const std::system_error& error) {
            // No thread to be had: this send fails at once, and the next one is tried.
            const auto finished = std::exchange(m_runningFinished, {});
            finished({.failure = std::string("No thread to send with: ") + error.what()});
        }
    }
}

EmailSender::Outcome EmailSender::deliver(Send& send, Network& network, const SmtpTimeouts& timeouts,
                                          const SmtpReplyLimits& limits, const std::stop_token& stop) {
    try {
        if (!send.attachmentPath.empty()) {
            bool found = false;
            std::string contents = readFileContents(send.attachmentPath, maxAttachmentBytes + 1, &found);
            if (contents.size() > maxAttachmentBytes)
                return {.failure = "The file to attach is larger than " +
                                   std::to_string(maxAttachmentBytes / (1024 * 1024)) +
                                   " MB: " + send.attachmentPath};
            // A missing file is no error: the message goes without it.
            if (found)
                send.message.attachment =
                    MimeAttachment{fileNameOf(send.attachmentPath), std::move(contents)};
        }
        send.envelope.message = send.message.render();
        SmtpClient client(network, timeouts, limits);
        client.send(send.envelope, stop);
        Outcome sent;
        sent.sentTo = recipientList(send.envelope.recipients);
        return sent;
    } catch (const UntrustedCertificateError& error) {
        return {.failure = error.what(), .untrusted = error.details()};
    } catch (const std::exception& error) {
        return {.failure = error.what()};
    } catch (...) {
        return {.unknownFailure = true};
    }
}

void EmailSender::sendFinished(Outcome outcome) {
    // The worker posted this as its last act.
    m_worker.join();
    const auto finished = std::exchange(m_runningFinished, {});
    // The next send starts before this one is reported: a Test's message box may stay open a while.
    startNext();
    if (outcome.sent())
        m_log("Email sent to " + outcome.sentTo);
    if (finished)
        finished(outcome);
}

std::string untrustedCertificateQuestion(const CertificateDetails& details, const std::string& server) {
    return "The mail server's certificate is not trusted (" + details.problem +
           ").\n\nSubject: " + details.subject + "\nIssuer: " + details.issuer +
           "\nExpires: " + details.expires +
           "\nSHA-256 fingerprint: " + formatCertificateFingerprint(details.sha256) +
           "\n\nTrust this certificate for " + server +
           "? Mail then goes to this server whenever it presents this very certificate.";
}

} // namespace quietmon
