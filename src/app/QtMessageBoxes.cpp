#include "app/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace quietmon {

QString QtMessageBoxes::title() const {
    // Titled like the main window, as the application title is.
    return m_owner ? m_owner->window()->windowTitle() : QApplication::applicationName();
}

void QtMessageBoxes::inform(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, title(), QString::fromStdString(text), QMessageBox::Ok, m_owner);
    box.exec();
}

bool QtMessageBoxes::confirm(const std::string& text) {
    QMessageBox box(QMessageBox::Question, title(), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, m_owner);
    // Saying yes to trusting something must be a choice, not the Enter key.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace quietmon
