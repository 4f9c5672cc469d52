#pragma once

#include "platform/DesktopWindows.h"
#include "runtime/VirtualEventLoop.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace quietmon::test {

// A desktop whose windows the test opens and closes. With a loop, close requests are answered in its
// virtual time as each window's CloseBehaviour says.
class FakeDesktopWindows final : public DesktopWindows {
public:
    struct CloseBehaviour {
        std::int64_t closesAfterMs = -1; // after the request; -1: never
        bool hung = false;               // the request waits its whole time-out and is not delivered
    };
    struct CloseRequest {
        std::uint64_t handle;
        std::int64_t atMs; // when the request returned
    };

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
        closeDueWindows();
        return std::any_of(windows.begin(), windows.end(),
                           [&](const auto& window) { return window.handle == handle; });
    }
    std::optional<TopLevelWindow> findWindowByTitleAndClass(const std::string& title,
                                                            const std::string& className) override {
        ++searches;
        for (const auto& window : windows) {
            if ((title.empty() || sameText(window.title, title)) &&
                (className.empty() || sameText(window.className, className)))
                return window;
        }
        return std::nullopt;
    }
    bool requestWindowClose(std::uint64_t handle, int timeoutMs) override {
        const CloseBehaviour behaviour = closeBehaviours[handle];
        if (behaviour.hung)
            loop->clock().sleep(timeoutMs);
        closeRequests.push_back({handle, loop->elapsedMs()});
        if (behaviour.hung)
            return false;
        if (behaviour.closesAfterMs >= 0)
            closingAtMs[handle] = loop->elapsedMs() + behaviour.closesAfterMs;
        return true;
    }
    int windowProcessId(std::uint64_t handle) override {
        closeDueWindows();
        for (const auto& window : windows) {
            if (window.handle == handle)
                return window.processId;
        }
        return 0;
    }
    std::uint64_t open(const std::string& title, const std::string& className, int processId = 4242) {
        windows.push_back({++lastHandle, title, className, true, processId});
        return lastHandle;
    }

    std::vector<TopLevelWindow> windows;
    std::uint64_t lastHandle = 0;
    int searches = 0;
    VirtualEventLoop* loop = nullptr;
    std::map<std::uint64_t, CloseBehaviour> closeBehaviours;
    std::vector<CloseRequest> closeRequests;

private:
    static bool sameText(const std::string& a, const std::string& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    }
    void closeDueWindows() {
        if (!loop)
            return;
        std::erase_if(windows, [this](const TopLevelWindow& window) {
            const auto closing = closingAtMs.find(window.handle);
            return closing != closingAtMs.end() && closing->second <= loop->elapsedMs();
        });
    }

    std::map<std::uint64_t, std::int64_t> closingAtMs;
};

} // namespace quietmon::test
