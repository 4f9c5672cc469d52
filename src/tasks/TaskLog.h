#pragma once

#include "config/TaskKinds.h"

#include <concepts>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

namespace quietmon {

// Where a task writes its lines to the program's log. A line that tells of a task's failure is written
// through failure(), which names the kind that failed besides, so that failures are counted by kind
// without reading the wording of any line.
class TaskLog {
public:
    using WriteLine = std::function<void(const std::string&)>;
    using CountFailure = std::function<void(TaskKind)>;

    TaskLog() = default;
    // Any callable that writes a line; failures are then only written.
    template <std::invocable<const std::string&> Writer>
    requires(!std::same_as<std::remove_cvref_t<Writer>, TaskLog>)
        TaskLog(Writer writeLine, CountFailure countFailure = {}) // NOLINT(google-explicit-constructor)
        : m_writeLine(std::move(writeLine)), m_countFailure(std::move(countFailure)) {}

    explicit operator bool() const { return static_cast<bool>(m_writeLine); }

    // A line that tells of no failure.
    void operator()(const std::string& line) const {
        if (m_writeLine)
            m_writeLine(line);
    }
    // The line that tells how the task of `kind` failed: written, then counted.
    void failure(TaskKind kind, const std::string& line) const {
        (*this)(line);
        if (m_countFailure)
            m_countFailure(kind);
    }

private:
    WriteLine m_writeLine;
    CountFailure m_countFailure;
};

} // namespace quietmon
