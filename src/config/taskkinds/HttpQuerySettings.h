#pragma once

#include "config/TaskKindSettings.h"

#include <string>

namespace quietmon {

// "Send HTTP query", in both queues.
struct QuerySettings {
    std::string address = "http://";
    std::string query = "=";
};

template <> struct SettingsOfKind<TaskKind::SendHttpQuery> { using type = QuerySettings; };

} // namespace quietmon
