#include "setup/WindowChooser.h"

namespace quietmon {

WindowChooser::WindowChooser(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Window"));
}

} // namespace quietmon
