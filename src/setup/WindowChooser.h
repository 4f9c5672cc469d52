#pragma once

#include <QDialog>
#include <optional>
#include <string>

class QPushButton;
class QTreeWidget;

namespace quietmon {

class DesktopWindows;

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

// Lists the desktop's titled top-level windows, newest in the desktop's order first, as class and title,
// and lets the operator pick one. The list is read afresh each time the dialog shows and on "Refresh".
class WindowChooser final : public QDialog, public WindowPicker {
public:
    // Titles and classes longer than this many characters are cut.
    static constexpr int maxTextCharacters = 254;

    explicit WindowChooser(DesktopWindows& windows, QWidget* parent = nullptr);

    // Shows the dialog modally. After OK: the selected row's texts, or two empty texts when no row is
    // selected (an empty list).
    std::optional<ChosenWindow> pickWindow() override;

    QTreeWidget& windowList() { return *m_list; }
    QPushButton& refreshButton() { return *m_refresh; }
    QPushButton& okButton() { return *m_ok; }
    QPushButton& cancelButton() { return *m_cancel; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillList();

    DesktopWindows& m_windows;
    QTreeWidget* m_list;
    QPushButton* m_refresh;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace quietmon
