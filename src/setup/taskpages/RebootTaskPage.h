#pragma once

#include "config/taskkinds/RebootSettings.h"

#include <QWidget>

namespace quietmon {

struct SetupContext;

// "Reboot system": reboot or shut down, one of the two.
class RebootTaskPage final : public QWidget {
public:
    RebootTaskPage(SetupContext& context, RebootSettings& settings, QWidget* parent = nullptr);
};

} // namespace quietmon
