#pragma once

#include "setup/WindowChooser.h"

#include <optional>

namespace quietmon::test {

// Answers the window chooser with the window set here; nothing means Cancel.
class FakeWindowPicker final : public WindowPicker {
public:
    std::optional<ChosenWindow> pickWindow() override {
        ++asked;
        return answer;
    }
    std::optional<ChosenWindow> answer;
    int asked = 0;
};

} // namespace quietmon::test
