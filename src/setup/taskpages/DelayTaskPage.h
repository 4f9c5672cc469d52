#pragma once

#include <QWidget>

namespace quietmon {

struct SetupContext;

// "Delay": how many seconds the queue waits.
class DelayTaskPage final : public QWidget {
public:
    DelayTaskPage(SetupContext& context, int& seconds, int maximumSeconds, QWidget* parent = nullptr);
};

} // namespace quietmon
