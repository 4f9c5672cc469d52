#include "tasks/TaskFailures.h"

#include "config/TaskNames.h"

namespace quietmon {

namespace {

struct FailureLine {
    std::string_view start;
    std::string_view task;
};

// The lines a task writes when it fails in a queue; a Test button's failure lines are left out.
constexpr FailureLine failureLines[] = {
    {"An error occured when trying to send email: ", task_names::sendEmail},
    {"An unknown error occured when trying to send email.", task_names::sendEmail},
    {"Can't send email - ", task_names::sendEmail},
    {"HTTP query failed - ", task_names::sendHttpQuery},
    {"HTTP query answered ", task_names::sendHttpQuery},
    {"HTTP query dropped, too many waiting", task_names::sendHttpQuery},
    {"Can't access the COM port", task_names::switchPortPin},
    {"Can't save the screenshot ", task_names::saveScreenshot},
    {"Kill application failed - ", task_names::killApplication},
    {"Reboot failed - ", task_names::rebootSystem},
};

} // namespace

std::optional<std::string_view> taskFailedIn(std::string_view logLine) {
    for (const FailureLine& line : failureLines) {
        if (logLine.starts_with(line.start))
            return line.task;
    }
    return std::nullopt;
}

} // namespace quietmon
