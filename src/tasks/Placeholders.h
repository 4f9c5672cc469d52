#pragma once

#include "tasks/AlarmState.h"

#include <string>
#include <string_view>

namespace quietmon {

// Expands the placeholders of a task text from the alarm state: "%time:", "%time", "%date", "%channel",
// "%cause", "%dayofweek", "%lasttask", "%br" and "%streamtitle", in that order, each matched without regard
// to case over the text the previous step produced.
std::string expandPlaceholders(std::string_view text, const AlarmState& state);

// expandPlaceholders, then line breaks as "<br>", then encoded for a URL's query byte by byte up to the first
// zero byte: "%&*-.=@", letters and "_" stay, a space becomes "+", every other byte "%" and two upper-case
// hex digits.
std::string expandPlaceholdersForUrl(std::string_view text, const AlarmState& state);

} // namespace quietmon
