#include "setup/RebootCountdownDialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace quietmon {

RebootCountdownDialog::RebootCountdownDialog(EventLoop& loop, QWidget* parent)
    // A title but no title-bar buttons: the countdown is answered with "No" or "Yes", or runs out.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      m_question(new QLabel(QStringLiteral("Reboot the system?"), this)), m_progress(new QProgressBar(this)),
      m_no(new QPushButton(QStringLiteral("No"), this)), m_yes(new QPushButton(QStringLiteral("Yes"), this)),
      m_countdownTimer(loop.createTimer([this] { onCountdownTick(); })) {
    setWindowTitle(QStringLiteral("Warning"));
    QFont bold = m_question->font();
    bold.setBold(true);
    m_question->setFont(bold);
    m_progress->setRange(0, countdownSteps);
    m_progress->setTextVisible(false);
    m_no->setDefault(true);
    m_yes->setAutoDefault(false);
    connect(m_no, &QPushButton::clicked, this, [this] { done(noResult); });
    connect(m_yes, &QPushButton::clicked, this, [this] { done(yesResult); });
    m_countdownTimer->setInterval(countdownStepMs);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_question);
    layout->addWidget(m_progress);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_no);
    buttons->addWidget(m_yes);
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // cannot be resized
}

RebootCountdownDialog::~RebootCountdownDialog() = default;

void RebootCountdownDialog::showEvent(QShowEvent* event) {
    m_progress->setValue(0);
    m_no->setFocus();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    m_countdownTimer->setEnabled(true);
    QDialog::showEvent(event);
}

void RebootCountdownDialog::onCountdownTick() {
    m_progress->setValue(m_progress->value() + 1);
    if (m_progress->value() == countdownSteps)
        done(cancelResult);
}

void RebootCountdownDialog::done(int result) {
    m_countdownTimer->setEnabled(false);
    QDialog::done(result);
}

void RebootCountdownDialog::reject() {
    done(noResult);
}

RebootAnswer RebootCountdownDialog::askToReboot() {
    switch (exec()) {
    case yesResult:
        return RebootAnswer::Yes;
    case cancelResult:
        return RebootAnswer::CountdownEnded;
    default:
        return RebootAnswer::No;
    }
}

} // namespace quietmon
