#pragma once

#include "platform/MessageBoxes.h"
#include "platform/Network.h"
#include "runtime/EventLoop.h"
#include "tasks/TaskLog.h"
#include "tasks/email/EmailTask.h"
#include "tasks/email/MimeMessage.h"
#include "tasks/email/SmtpClient.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quietmon {

// The "Send email" task of both queues and the Setup dialog's email "Test" buttons. The message is made on
// the logic thread (placeholders, date); the attachment is read and the whole SMTP exchange runs on a
// worker thread of its own, one send at a time, each within the time its SmtpTimeouts allow. The outcome
// comes back through the event loop: a failure is logged there, and so is every message the server took
// ("Email sent to " and the recipients), so that the log shows whether an alert went out; then the
// caller's `finished` runs.
class EmailSender final : public EmailTask {
public:
    // The placeholder expansion of task texts, bound to the alarm state.
    using Expand = std::function<std::string(std::string_view)>;
    using Log = TaskLog;

    // A file to attach that is larger than this fails the send rather than filling the memory.
    static constexpr std::size_t maxAttachmentBytes = 50u * 1024u * 1024u;

    // `network` is used on the worker; both it and `loop` must outlive the sender.
    EmailSender(EventLoop& loop, Network& network, std::string productName, Expand expand, Log log,
                SmtpTimeouts timeouts = {}, SmtpReplyLimits limits = {});
    // Stops a running send and waits for its worker; it and the sends waiting behind it never finish.
    ~EmailSender() override;
    EmailSender(const EmailSender&) = delete;
    EmailSender& operator=(const EmailSender&) = delete;

    void sendEmail(const EmailSettings& settings, QueueKind queue, std::function<void()> finished) override;

    // The subject and the body are the product name and " Test"; no placeholders, no attachment.
    void sendTest(const EmailSettings& settings, QueueKind queue, MessageBoxes& messages,
                  std::function<void(const TestOutcome&)> finished) override;

    // Where a relative "Attach file" is looked for (the folder the screenshot task writes relative names
    // to), ending in "/"; without it, the current folder.
    using DataFolder = std::function<std::string()>;
    void setDataFolder(DataFolder folder) { m_dataFolder = std::move(folder); }

    // The attachments the program makes for a task's message when its settings ask for them (the level
    // graph, the audio clip), made on the logic thread as the message is composed. One that cannot be
    // made is left out, with a line in the log, and the message goes all the same.
    using Evidence =
        std::function<std::vector<MimeAttachment>(const EmailSettings& settings, QueueKind queue)>;
    void setEvidence(Evidence evidence) { m_evidence = std::move(evidence); }

    // Whether a send runs or waits.
    bool busy() const { return m_worker.joinable() || !m_waiting.empty(); }

private:
    struct Outcome { // each member with its initialiser, so that a designated initialiser may leave it out
        std::string failure{};                         // empty when the message was sent
        bool unknownFailure = false;                   // a failure of no known kind
        std::optional<CertificateDetails> untrusted{}; // the server's certificate, when that was the failure
        std::string sentTo{}; // the envelope's recipients, when the server took the message

        bool sent() const { return failure.empty() && !unknownFailure && !untrusted; }
    };
    struct Send {
        SmtpEnvelope envelope;
        MimeMessage message;
        std::string attachmentPath; // read on the worker; empty for none
        std::function<void(const Outcome&)> finished;
    };

    Send composeTaskSend(const EmailSettings& settings, QueueKind queue) const;
    Send composeSend(const EmailSettings& settings, std::string subject, std::string body) const;
    void enqueue(Send send);
    void startNext();
    void sendFinished(Outcome outcome);
    void reportTest(const Outcome& outcome, const EmailSettings& settings, QueueKind queue,
                    MessageBoxes& messages, const std::function<void(const TestOutcome&)>& finished);
    static Outcome deliver(Send& send, Network& network, const SmtpTimeouts& timeouts,
                           const SmtpReplyLimits& limits, const std::stop_token& stop);

    EventLoop& m_loop;
    Network& m_network;
    std::string m_productName;
    Expand m_expand;
    Log m_log;
    SmtpTimeouts m_timeouts;
    SmtpReplyLimits m_limits;
    DataFolder m_dataFolder;
    Evidence m_evidence;
    std::deque<Send> m_waiting;
    std::function<void(const Outcome&)> m_runningFinished;
    // What a worker's posted outcome finds when it runs: nothing once the sender is gone.
    std::shared_ptr<EmailSender*> m_self = std::make_shared<EmailSender*>(this);
    std::jthread m_worker;
};

// The text a refused certificate is shown with, for the operator to decide whether to trust it.
std::string untrustedCertificateQuestion(const CertificateDetails& details, const std::string& server);

} // namespace quietmon
