#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace quietmon {

// The task kinds that report their failures, each in log lines of its own wording; the other kinds drop
// theirs.
inline constexpr std::array<std::string_view, 4> tasksReportingFailures = {
    "Send email", "Send HTTP query", "Switch port pin", "Reboot system"};

// The task (by its name) whose failure the log line reports; nothing for any other line. Every failure a
// task reports is one such line, so counting them counts the failures of each kind in one place.
std::optional<std::string_view> taskFailedIn(std::string_view logLine);

} // namespace quietmon
