#pragma once

#include <QDialog>
#include <optional>
#include <string>

namespace quietmon {

// The window class and title of the row the operator chose.
struct ChosenWindow {
    std::string windowClass;
    std::string title;
};

// The Setup dialog's "Find" buttons ask this for a window.
class WindowPicker {
public:
    virtual ~WindowPicker() = default;
    // Nothing when the operator cancelled.
    virtual std::optional<ChosenWindow> pickWindow() = 0;
};

// The window chooser, used by the Setup dialog's "Find" buttons.
class WindowChooser final : public QDialog, public WindowPicker {
public:
    explicit WindowChooser(QWidget* parent = nullptr);

    std::optional<ChosenWindow> pickWindow() override;
};

} // namespace quietmon
