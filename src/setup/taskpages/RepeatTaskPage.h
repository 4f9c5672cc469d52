#pragma once

#include <QWidget>

namespace quietmon {

struct SetupContext;

// "Repeat": from which entry of the running queue to go on, and how many times at most.
class RepeatTaskPage final : public QWidget {
public:
    RepeatTaskPage(SetupContext& context, int& fromLine, int& maximum, QWidget* parent = nullptr);
};

} // namespace quietmon
