#include "setup/WindowChooser.h"

namespace quietmon {

WindowChooser::WindowChooser(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Window"));
}

std::optional<ChosenWindow> WindowChooser::pickWindow() {
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return ChosenWindow{};
}

} // namespace quietmon
