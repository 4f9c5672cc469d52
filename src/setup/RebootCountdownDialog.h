#pragma once

#include <QDialog>

namespace quietmon {

// The countdown shown before the "Reboot system" task restarts the computer.
class RebootCountdownDialog final : public QDialog {
public:
    explicit RebootCountdownDialog(QWidget* parent = nullptr);
};

} // namespace quietmon
