#pragma once

#include "config/Settings.h"

#include <QWidget>

namespace quietmon {

struct SetupContext;

// "Reboot system": reboot or shut down, one of the two.
class RebootTaskPage final : public QWidget {
public:
    RebootTaskPage(SetupContext& context, RebootSettings& settings, QWidget* parent = nullptr);
};

} // namespace quietmon
