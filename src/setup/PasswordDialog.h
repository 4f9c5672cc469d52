#pragma once

#include "platform/MessageBoxes.h"

#include <QDialog>

class QLineEdit;

namespace quietmon {

// Asks for the setup password: at most 16 characters, each shown as "*". Enter means OK, Escape Cancel.
class PasswordDialog final : public QDialog, public PasswordPrompt {
public:
    explicit PasswordDialog(QWidget* parent = nullptr);

    // Shows the dialog modally; the text typed when it ended with OK. The field is emptied afterwards.
    std::optional<std::string> askPassword() override;
    QLineEdit& passwordField() { return *m_field; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_field;
};

} // namespace quietmon
