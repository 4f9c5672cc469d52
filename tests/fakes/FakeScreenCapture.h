#pragma once

#include "platform/ScreenCapture.h"

#include <functional>
#include <string>

namespace quietmon::test {

// A screen that hands out `image` and tells `record` of every stroke and capture.
struct FakeScreenCapture final : ScreenCapture {
    void strokeShiftKey() override { record("shift"); }
    ScreenImage capturePrimaryMonitor() override {
        record("capture");
        return image;
    }

    // A picture of one colour.
    static ScreenImage filled(int width, int height, std::uint8_t red, std::uint8_t green,
                              std::uint8_t blue) {
        ScreenImage picture{width, height, {}};
        for (int i = 0; i < width * height; ++i)
            picture.rgb.insert(picture.rgb.end(), {red, green, blue});
        return picture;
    }

    ScreenImage image = filled(4, 3, 200, 100, 50);
    std::function<void(const std::string&)> record = [](const std::string&) {};
};

} // namespace quietmon::test
