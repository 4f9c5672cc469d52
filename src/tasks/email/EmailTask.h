#pragma once

#include "config/taskkinds/EmailSettings.h"
#include "tasks/QueueTask.h"

#include <functional>
#include <string>

namespace quietmon {

class MessageBoxes;

// "Send email". The conversation with the server runs on a worker, one send at a time in the order they
// were asked for, so the logic thread goes on meanwhile; the queue that asked waits for `finished`.
class EmailTask : public QueueTask {
public:
    // What became of a test message: whether it was sent, and the fingerprint ("AB:CD:...") of a server
    // certificate the operator chose to trust when it was refused, to be stored with the page's settings.
    struct TestOutcome {
        bool sent = false;
        std::string certificateToTrust;
    };

    // Composes the message now and sends it in the background; `finished` runs on the logic thread once
    // the send has ended, however it ended (a failure is logged). It may run before this returns.
    virtual void sendEmail(const EmailSettings& settings, QueueKind queue,
                           std::function<void()> finished) = 0;
    // The "Test" button of the "Send email" page of `queue`: a fixed message with that page's connection
    // settings, sent in the background; the outcome is shown in a message box, a failure also logged,
    // and an untrusted certificate shown with the question whether to trust it. Then `finished` runs.
    virtual void sendTest(const EmailSettings& settings, QueueKind queue, MessageBoxes& messages,
                          std::function<void(const TestOutcome&)> finished) = 0;

    AfterRow run(const TaskRequest& request) final;
};

} // namespace quietmon
