#pragma once

#include <cstdint>
#include <vector>

namespace quietmon {

// A picture of the screen: rows from the top, each pixel three bytes in the order red, green, blue.
struct ScreenImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    bool empty() const { return width <= 0 || height <= 0; }
};

// The desktop's screen and keyboard, for the screenshot task.
class ScreenCapture {
public:
    virtual ~ScreenCapture() = default;
    // A press and a release of the left SHIFT key, as if typed: it wakes the display from a screensaver
    // and changes nothing else.
    virtual void strokeShiftKey() = 0;
    // The primary monitor's pixels, from its top-left corner, its whole size; an empty picture when no
    // display answers.
    virtual ScreenImage capturePrimaryMonitor() = 0;
};

} // namespace quietmon
