#pragma once

#include "platform/DesktopWindows.h"

#include <algorithm>
#include <cctype>

namespace quietmon::test {

// A desktop whose windows the test opens and closes.
class FakeDesktopWindows final : public DesktopWindows {
public:
    std::optional<TopLevelWindow> findWindow(const std::string& text, bool byClass) override {
        ++searches;
        for (const auto& window : windows) {
            if (sameText(byClass ? window.className : window.title, text))
                return window;
        }
        return std::nullopt;
    }
    std::vector<TopLevelWindow> listWindows() override { return windows; }
    bool windowExists(std::uint64_t handle) override {
        return std::any_of(windows.begin(), windows.end(),
                           [&](const auto& window) { return window.handle == handle; });
    }
    void open(const std::string& title, const std::string& className) {
        windows.push_back({++lastHandle, title, className, true, 4242});
    }

    std::vector<TopLevelWindow> windows;
    std::uint64_t lastHandle = 0;
    int searches = 0;

private:
    static bool sameText(const std::string& a, const std::string& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    }
};

} // namespace quietmon::test
