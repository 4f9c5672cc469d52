#pragma once

#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/Network.h"
#include "tasks/TaskServices.h"
#include "tasks/email/MimeMessage.h"
#include "tasks/email/SmtpClient.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quietmon {

// The "Send email" task of both queues and the Setup dialog's email "Test" buttons. Each send is one
// whole SMTP exchange on the logic thread; a failure is logged and never leaves sendEmail, so the queue
// goes on.
class EmailSender final : public EmailTask {
public:
    // The placeholder expansion of task texts, bound to the alarm state.
    using Expand = std::function<std::string(std::string_view)>;
    using Log = std::function<void(const std::string&)>;
    using Repaint = std::function<void()>;

    // A file to attach that is larger than this fails the send rather than filling the memory.
    static constexpr std::size_t maxAttachmentBytes = 50u * 1024u * 1024u;

    EmailSender(Network& network, const Clock& clock, std::string productName, Expand expand, Log log,
                Repaint repaintMainWindow = {}, SmtpTimeouts timeouts = {}, SmtpReplyLimits limits = {});

    void sendEmail(const EmailSettings& settings, QueueKind queue) override;

    // The subject and the body are the product name and " Test"; no placeholders, no attachment.
    bool sendTest(const EmailSettings& settings, QueueKind queue, MessageBoxes& messages) override;

private:
    // The message of the task, after the placeholders and with the attachment read; `envelope` gets the
    // server, the credentials and the addresses. Throws when the attachment cannot be used.
    MimeMessage composeTaskMessage(const EmailSettings& settings, SmtpEnvelope& envelope) const;
    MimeMessage composeMessage(const EmailSettings& settings, SmtpEnvelope& envelope, std::string subject,
                               std::string body) const;
    void deliver(SmtpEnvelope& envelope, const MimeMessage& message);

    const Clock& m_clock;
    std::string m_productName;
    Expand m_expand;
    Log m_log;
    Repaint m_repaint;
    SmtpClient m_client;
};

} // namespace quietmon
