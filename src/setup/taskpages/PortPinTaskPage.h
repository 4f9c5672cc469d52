#pragma once

#include "config/taskkinds/PortPinSettings.h"

#include <QWidget>

namespace quietmon {

struct SetupContext;

// "Switch port pin": the serial port, the line, and how long the line is held.
class PortPinTaskPage final : public QWidget {
public:
    static constexpr int portCount = 255;

    PortPinTaskPage(SetupContext& context, PortSettings& settings, QWidget* parent = nullptr);
};

} // namespace quietmon
