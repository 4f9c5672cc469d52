#include "tasks/email/EmailSender.h"

#include "platform/FileSystem.h"
#include "platform/TimeZone.h"
#include "tasks/email/EmailAddress.h"
#include "tasks/email/SmtpServerAddress.h"

#include <exception>
#include <utility>

namespace quietmon {

namespace {

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

EmailSender::EmailSender(Network& network, const Clock& clock, std::string productName, Expand expand,
                         Log log, Repaint repaintMainWindow, SmtpTimeouts timeouts, SmtpReplyLimits limits)
    : m_clock(clock), m_productName(std::move(productName)), m_expand(std::move(expand)),
      m_log(std::move(log)), m_repaint(std::move(repaintMainWindow)), m_client(network, timeouts, limits) {}

void EmailSender::sendEmail(const EmailSettings& settings, QueueKind queue) {
    // The exchange blocks the logic thread; the window shows the alarm state before it does.
    if (queue == QueueKind::Alarm && m_repaint)
        m_repaint();
    try {
        SmtpEnvelope envelope;
        const MimeMessage message = composeTaskMessage(settings, envelope);
        deliver(envelope, message);
    } catch (const std::exception& error) {
        m_log("An error occured when trying to send email: " + std::string(error.what()));
    } catch (...) {
        m_log("An unknown error occured when trying to send email.");
    }
}

bool EmailSender::sendTest(const EmailSettings& settings, QueueKind queue, MessageBoxes& messages) {
    std::string failure;
    try {
        SmtpEnvelope envelope;
        const std::string text = m_productName + " Test";
        const MimeMessage message = composeMessage(settings, envelope, text, text);
        deliver(envelope, message);
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "unknown error";
    }
    if (failure.empty()) {
        messages.inform("Test email has been sent. Check your mailbox after a few minutes.");
        return true;
    }
    m_log((queue == QueueKind::Alarm ? "Test email message cannot be sent - "
                                     : "Test email message can not be sent - ") +
          failure);
    messages.inform("ERROR: " + failure);
    return false;
}

MimeMessage EmailSender::composeTaskMessage(const EmailSettings& settings, SmtpEnvelope& envelope) const {
    MimeMessage message =
        composeMessage(settings, envelope, m_expand(settings.subject), m_expand(settings.message));
    const std::string path = m_expand(settings.file);
    if (path.empty())
        return message;
    bool found = false;
    std::string contents = readFileContents(path, maxAttachmentBytes + 1, &found);
    if (!found)
        return message; // a missing file is no error: the message goes without it
    if (contents.size() > maxAttachmentBytes)
        throw std::runtime_error("The file to attach is larger than " +
                                 std::to_string(maxAttachmentBytes / (1024 * 1024)) + " MB: " + path);
    message.attachment = MimeAttachment{fileNameOf(path), std::move(contents)};
    return message;
}

MimeMessage EmailSender::composeMessage(const EmailSettings& settings, SmtpEnvelope& envelope,
                                        std::string subject, std::string body) const {
    MimeMessage message;
    message.from = settings.from;
    message.to = splitEmailAddressList(settings.to);
    message.subject = std::move(subject);
    message.bodyLines = splitTextLines(body);
    message.date = m_clock.now();
    message.utcOffsetMinutes = utcOffsetMinutes(message.date);

    const SmtpServerAddress server = parseSmtpServerText(settings.smtp);
    envelope.host = server.host;
    envelope.port = server.port;
    envelope.implicitTls = server.port == SmtpServerAddress::implicitTlsPort;
    envelope.startTls = settings.ssl;
    envelope.authenticate = settings.authentization;
    envelope.username = settings.username;
    envelope.password = settings.password;
    // MAIL FROM takes the bare address; the From header keeps the display name.
    envelope.sender = parseEmailAddress(settings.from).address;
    envelope.recipients.clear();
    for (const EmailAddress& recipient : message.to)
        envelope.recipients.push_back(recipient.address);
    return message;
}

void EmailSender::deliver(SmtpEnvelope& envelope, const MimeMessage& message) {
    envelope.message = message.render();
    m_client.send(envelope);
}

} // namespace quietmon
