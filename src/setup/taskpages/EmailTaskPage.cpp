#include "setup/taskpages/EmailTaskPage.h"

#include "monitor/Monitor.h"
#include "setup/SetupContext.h"
#include "setup/TaskKindPages.h"
#include "setup/taskpages/TaskPageParts.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace quietmon {

using namespace task_page_parts;

EmailTaskPage::EmailTaskPage(SetupContext& context, EmailSettings& settings, QueueKind queue, QWidget* parent)
    : QWidget(parent), m_context(context), m_settings(settings), m_queue(queue) {
    BoundFields& fields = context.fields;
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("From"), fields.text(this, settings.from, 255));
    form->addRow(QStringLiteral("To"), fields.text(this, settings.to, 255));
    form->addRow(QStringLiteral("Subject"), fields.text(this, settings.subject, 255));
    form->addRow(QStringLiteral("Message text"), fields.text(this, settings.message, 1023));
    form->addRow(QStringLiteral("Outgoing SMTP server"), fields.text(this, settings.smtp, 255));
    m_attachFile = fields.text(this, settings.file, 255);
    addRow(form, QStringLiteral("Attach file"), m_attachFile, {browseButton(context, m_attachFile, this)});
    // Beside the file, never instead of it.
    auto* evidence = new QHBoxLayout;
    evidence->addWidget(fields.tick(this, QStringLiteral("Attach level graph"), settings.attachLevelGraph));
    evidence->addWidget(fields.tick(this, QStringLiteral("Attach audio clip"), settings.attachAudioClip));
    evidence->addStretch();
    form->addRow(evidence);

    auto* login = new QHBoxLayout;
    login->addWidget(fields.tick(this, QStringLiteral("Requires authentication:"), settings.authenticate));
    login->addWidget(fields.tick(this, QStringLiteral("SSL"), settings.ssl));
    login->addStretch();
    m_test = new QPushButton(QStringLiteral("Test"), this);
    onClick(context, m_test, [this] { sendTest(); });
    login->addWidget(m_test);
    form->addRow(login);
    form->addRow(QStringLiteral("Username"), fields.text(this, settings.username, 255));
    form->addRow(QStringLiteral("Password"), fields.password(this, settings.password, 255));
}

// The exchange runs in the background and the dialog stays usable; the button waits for the outcome, so
// that impatient clicks do not line up test after test.
void EmailTaskPage::sendTest() {
    EmailTask* email = m_context.monitor.tasks().serviceOf<EmailTask>(TaskKind::SendEmail);
    if (!email)
        return;
    m_test->setEnabled(false);
    email->sendTest(m_settings, m_queue, m_context.messages,
                    [page = QPointer<EmailTaskPage>(this)](const EmailTask::TestOutcome& outcome) {
                        if (page)
                            page->testFinished(outcome);
                    });
}

void EmailTaskPage::testFinished(const EmailTask::TestOutcome& outcome) {
    m_test->setEnabled(true);
    if (outcome.certificateToTrust.empty())
        return;
    m_settings.trustedCertificate = outcome.certificateToTrust;
    sendTest();
}

template <> QWidget* makeTaskPageOf<TaskKind::SendEmail>(const TaskPageSource& source) {
    return new EmailTaskPage(source.context, source.queueSettings().of<TaskKind::SendEmail>(), source.queue);
}

} // namespace quietmon
