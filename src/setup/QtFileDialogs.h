#pragma once

#include "setup/FileDialogs.h"

class QWidget;

namespace quietmon {

// Qt's own file dialogs rather than the desktop's: those record recent files and hide dot-files.
class QtFileDialogs final : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }

    std::optional<std::string> chooseFileToOpen() override;
    std::optional<ScreenshotFile> chooseScreenshotFile() override;

private:
    QWidget* m_owner;
};

} // namespace quietmon
