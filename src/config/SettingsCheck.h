#pragma once

#include "config/IniFile.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quietmon {

struct SettingsWarning {
    enum class Kind {
        UnclosedHeader,  // "[General" without "]": still read as that section
        UnknownSection,  // a section the monitor does not read: its keys are ignored
        RepeatedSection, // only the first of sections with one name is read
        UnknownKey,      // a key its section does not have
        RepeatedKey,     // only the first of keys with one name counts
        StrayLine,       // a key before any section, or a line that is no header, key or comment
        UnparsableValue, // not a number or not a time: another value is used
        OutOfRange,      // brought into its range on loading
        ValueTooLong,    // cut on reading
        UnknownTask,     // a queue row that names no task of its queue
        PlainPassword,   // a password not in scrambled form, read as other characters
        ExposedSecret,   // a setting that sends a secret where others can read it
        StatusEndpoint,  // StatusAddress and StatusToken that the status endpoint is not started with
    };
    std::size_t line; // 1-based
    Kind kind;
    std::string message; // what is wrong and what the monitor does instead, for the file's writer
};

// Goes through a settings file as the monitor reads it and finds what will not do what its writer meant,
// line by line. The outcomes it names (the value used instead of one that does not parse or is out of
// range) are those of the settings loader itself. A file the monitor saved has nothing to report.
class SettingsCheck {
public:
    explicit SettingsCheck(const IniFile& file);

    // In the order of the file's lines.
    const std::vector<SettingsWarning>& warnings() const { return m_warnings; }

private:
    std::vector<SettingsWarning> m_warnings;
};

} // namespace quietmon
