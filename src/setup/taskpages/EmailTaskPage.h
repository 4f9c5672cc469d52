#pragma once

#include "config/taskkinds/EmailSettings.h"
#include "tasks/email/EmailTask.h"

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace quietmon {

struct SetupContext;

// "Send email": the message, the server and its login, and "Test", which sends a fixed message with
// these settings in the background and reports in a message box; a server certificate the operator
// chooses to trust there is stored with these settings and the test sent again.
class EmailTaskPage final : public QWidget {
public:
    EmailTaskPage(SetupContext& context, EmailSettings& settings, QueueKind queue, QWidget* parent = nullptr);

    // Where "Attach to email" of the same queue puts the screenshot's file.
    QLineEdit& attachFileField() { return *m_attachFile; }

private:
    void sendTest();
    void testFinished(const EmailTask::TestOutcome& outcome);

    SetupContext& m_context;
    EmailSettings& m_settings;
    QueueKind m_queue;
    QLineEdit* m_attachFile = nullptr;
    QPushButton* m_test = nullptr;
};

} // namespace quietmon
