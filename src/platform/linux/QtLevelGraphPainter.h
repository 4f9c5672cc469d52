#pragma once

#include "platform/LevelGraphDrawing.h"

namespace quietmon {

// Draws the level graph on an offscreen QImage, so that a monitor without a display draws it too. Needs
// the program's Qt application object (the offscreen platform does) for its fonts.
class QtLevelGraphPainter final : public LevelGraphDrawing {
public:
    std::string drawPng(const LevelGraph& graph, int width, int height, std::string& failure) override;
};

} // namespace quietmon
