#pragma once

#include "config/taskkinds/OpenPlaySettings.h"

#include <QWidget>

namespace quietmon {

struct SetupContext;

// "Open/Play 1", "Open/Play 2" and the return queue's "Open/Play": three files, each with its
// parameters, a browse button and "Clear".
class OpenPlayTaskPage final : public QWidget {
public:
    // `fileMaxLength` 0: the file fields take any length.
    OpenPlayTaskPage(SetupContext& context, OpenSettings& settings, int fileMaxLength,
                     QWidget* parent = nullptr);
};

} // namespace quietmon
