#pragma once

#include "config/taskkinds/ScreenshotSettings.h"

#include <QWidget>
#include <functional>

class QLineEdit;

namespace quietmon {

struct SetupContext;

// "Save screenshot": the file, chosen with the save dialog and given the extension of the file type
// chosen there; the screensaver option; and "Attach to email", which hands the file to the same queue's
// "Send email" page.
class ScreenshotTaskPage final : public QWidget {
public:
    using AttachToEmail = std::function<void(const QString& file)>;

    ScreenshotTaskPage(SetupContext& context, ScreenshotSettings& settings, AttachToEmail attachToEmail,
                       QWidget* parent = nullptr);

private:
    void browse();
    void attach();

    SetupContext& m_context;
    AttachToEmail m_attachToEmail;
    QLineEdit* m_file = nullptr;
};

} // namespace quietmon
