#pragma once

#include "setup/SetupContext.h"

#include <QWidget>

class QGridLayout;
class QGroupBox;

namespace quietmon {

// The Setup dialog's "Settings" page: the window, the channel names, the start-up, the setup password,
// the status endpoint and the audio input. Settings whose caption ends in "*" act only at the next start.
class SettingsPage final : public QWidget {
public:
    SettingsPage(SetupContext& context, QWidget* parent);

private:
    QGroupBox* buildGeneral();
    void addStatusEndpoint(QGridLayout* grid, int row);
    QGroupBox* buildAudio();

    SetupContext& m_context;
};

} // namespace quietmon
