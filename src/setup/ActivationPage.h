#pragma once

#include "setup/SetupContext.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;

namespace quietmon {

// The Setup dialog's "Alarm Activation" page: how long and in which channels the silence must last, the
// time, weekday and window conditions that must hold besides it, and when the alarm ends again.
class ActivationPage final : public QWidget {
public:
    ActivationPage(SetupContext& context, QWidget* parent);

protected:
    // The channel names and the built-in player's option may have changed on the Settings page.
    void showEvent(QShowEvent* event) override;

private:
    QGroupBox* buildConditions();
    QGroupBox* buildReturn();
    void rebuildChannelLines();
    void findWindow();

    SetupContext& m_context;
    QComboBox* m_channels = nullptr;
    QLineEdit* m_windowText = nullptr;
    QCheckBox* m_stopPlayer = nullptr;
};

} // namespace quietmon
