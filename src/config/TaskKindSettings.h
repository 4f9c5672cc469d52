#pragma once

#include "config/TaskKinds.h"

#include <any>
#include <array>
#include <string>

namespace quietmon {

class SchemaBuilder;

// The type of one kind's settings, which the kind's settings header (config/taskkinds/) names:
//     template <> struct SettingsOfKind<TaskKind::SendEmail> { using type = EmailSettings; };
template <TaskKind kind> struct SettingsOfKind;
template <TaskKind kind> using KindSettings = typename SettingsOfKind<kind>::type;

// Each kind's settings file (config/taskkinds/) defines these two for its kind; a kind of the table
// without them fails to link.
// The collector does not see that definition; the linker joins them. So the template must never get a
// body of its own here: the collector would use it instead of the kind's.
// The defaults of the kind's settings in `queue`, a queue that runs it; some name the product.
template <TaskKind kind> std::any defaultSettingsOf(QueueKind queue, const std::string& productName);
// The kind's keys, of each queue that runs it, in the order a save writes them.
template <TaskKind kind> void addKeysOf(SchemaBuilder& builder);

// The settings of each kind a queue runs, by kind; nothing for the kinds it does not run.
using TaskKindSettingsTable = std::array<std::any, taskKinds.size()>;
TaskKindSettingsTable defaultTaskKindSettings(QueueKind queue, const std::string& productName);

} // namespace quietmon
