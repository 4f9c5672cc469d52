#pragma once

#include "runtime/DateTime.h"

#include <optional>
#include <string>
#include <vector>

namespace quietmon {

// The levels of a stretch of seconds as a picture for people: both channels, the threshold and the
// silent span.
struct LevelGraph {
    struct Second {
        bool recorded = false; // false: a gap in the line
        int dbLeft = -96;
        int dbRight = -96;
    };
    DateTime start;              // the moment of the first second
    std::vector<Second> seconds; // one per second from `start`
    int thresholdDb = -25;
    std::string leftName;
    std::string rightName;
    std::string title;
    // The shaded span, as offsets in seconds from `start`; the end is the last second when not given.
    std::optional<int> silenceFrom;
    std::optional<int> silenceTo;
};

// Draws a level graph as a PNG image, without a display.
class LevelGraphDrawing {
public:
    virtual ~LevelGraphDrawing() = default;
    // The PNG's bytes; empty, with the reason in `failure`, when it could not be made.
    virtual std::string drawPng(const LevelGraph& graph, int width, int height, std::string& failure) = 0;
};

} // namespace quietmon
