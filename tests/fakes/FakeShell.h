#pragma once

#include "platform/Shell.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quietmon::test {

// A desktop that records what it was asked to open, and when.
class FakeShell final : public Shell {
public:
    struct Opening {
        std::string file;
        std::vector<std::string> arguments;
        std::int64_t atMs;
    };

    explicit FakeShell(std::function<std::int64_t()> now) : m_now(std::move(now)) {}

    std::optional<std::string> open(const std::string& file,
                                    const std::vector<std::string>& arguments) override {
        openings.push_back({file, arguments, m_now()});
        return std::nullopt;
    }

    std::vector<Opening> openings;

private:
    std::function<std::int64_t()> m_now;
};

} // namespace quietmon::test
