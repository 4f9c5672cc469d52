#pragma once

#include <array>

namespace quietmon::status_texts {

// The texts of the main window's status line, where the alarm and the executors report what they do.
inline constexpr const char* alarmNotActive = "Alarm not active";
inline constexpr const char* executingAlarmTasks = "Executing alarm tasks...";
inline constexpr const char* executingReturnTasks = "Executing return tasks...";
inline constexpr const char* silence = "Silence!";
// The alarm queue goes on after the program's own reboot.
inline constexpr const char* silenceResuming = "Silence! ...";
// The input delivers nothing while no alarm is active.
inline constexpr const char* noInput = "No input";
// Followed by the seconds left of a return-queue delay.
inline constexpr const char* delayPrefix = "Delay... ";

// Every text the status line can show at its longest (a return-queue delay counts down from at most 30),
// so that the window can make room for each one whole.
inline constexpr std::array<const char*, 7> longest = {
    alarmNotActive, executingAlarmTasks, executingReturnTasks, silence, silenceResuming,
    noInput,        "Delay... 30"};

} // namespace quietmon::status_texts
