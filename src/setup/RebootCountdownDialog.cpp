#include "setup/RebootCountdownDialog.h"

namespace quietmon {

RebootCountdownDialog::RebootCountdownDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Warning"));
}

} // namespace quietmon
