#pragma once

#include "config/taskkinds/KillSettings.h"

#include <QWidget>

class QLineEdit;

namespace quietmon {

struct SetupContext;

// "Kill application": two applications, each named by a window's title and class, which "Find" takes
// from the window chooser and "Clear" empties.
class KillTaskPage final : public QWidget {
public:
    KillTaskPage(SetupContext& context, KillSettings& settings, QWidget* parent = nullptr);

private:
    QWidget* application(const QString& caption, std::string& title, std::string& windowClass);
    void find(QLineEdit* title, QLineEdit* windowClass);

    SetupContext& m_context;
};

} // namespace quietmon
