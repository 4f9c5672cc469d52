#pragma once

#include <QDialog>

namespace quietmon {

// The window chooser, used by the Setup dialog's "Find" buttons.
class WindowChooser final : public QDialog {
public:
    explicit WindowChooser(QWidget* parent = nullptr);
};

} // namespace quietmon
