#include "setup/PasswordDialog.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace quietmon {

PasswordDialog::PasswordDialog(QWidget* parent) : QDialog(parent), m_field(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Password required"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Enter password:"), this));
    m_field->setMaxLength(16);
    m_field->setEchoMode(QLineEdit::Password);
    m_field->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    layout->addWidget(m_field);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed border
}

void PasswordDialog::showEvent(QShowEvent* event) {
    m_field->clear();
    m_field->setFocus();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    QDialog::showEvent(event);
}

std::optional<std::string> PasswordDialog::askPassword() {
    const bool confirmed = exec() == QDialog::Accepted;
    std::optional<std::string> typed;
    if (confirmed)
        typed = m_field->text().toStdString();
    m_field->clear();
    return typed;
}

} // namespace quietmon
