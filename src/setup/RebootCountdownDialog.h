#pragma once

#include "platform/MessageBoxes.h"
#include "runtime/EventLoop.h"

#include <QDialog>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quietmon {

// The countdown shown before the "Reboot system" task restarts the computer: six seconds for a person at
// the computer to say "No". Enter and Escape mean "No" too. It counts on the logic's own timer, so tests
// run it in virtual time.
class RebootCountdownDialog final : public QDialog, public RebootPrompt {
public:
    // The dialog's results.
    static constexpr int cancelResult = 2; // the countdown ran out
    static constexpr int yesResult = 6;
    static constexpr int noResult = 7;
    static constexpr int countdownSteps = 30;
    static constexpr int countdownStepMs = 200;

    RebootCountdownDialog(EventLoop& loop, QWidget* parent = nullptr);
    ~RebootCountdownDialog() override;

    // Shows the dialog modally. Only "Yes" and the end of the countdown go ahead: a dialog ended any
    // other way (the program closing meanwhile) counts as "No".
    RebootAnswer askToReboot() override;
    // One step of the countdown; at the last the dialog ends itself with the cancel result.
    void onCountdownTick();

    QLabel& question() { return *m_question; }
    QProgressBar& progress() { return *m_progress; }
    QPushButton& noButton() { return *m_no; }
    QPushButton& yesButton() { return *m_yes; }

    void done(int result) override;
    // Escape and closing: "No".
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_question;
    QProgressBar* m_progress;
    QPushButton* m_no;
    QPushButton* m_yes;
    std::unique_ptr<Timer> m_countdownTimer;
};

} // namespace quietmon
