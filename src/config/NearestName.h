#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quietmon {

// Whether two names are the same when ASCII letters are compared without regard to case, as the settings
// file compares section and key names.
bool sameNameIgnoringCase(std::string_view a, std::string_view b);
// The name with ASCII letters in lower case: names equal by sameNameIgnoringCase fold to equal texts, so
// they can key a hash map.
std::string foldedName(std::string_view name);

// The candidate that `name` was most likely meant to be, for "did you mean" hints: the one fewest edits
// away (a character inserted, removed or changed, or two neighbours swapped), comparing without regard to
// case. Nothing when no candidate is near: a candidate is near when the edits number at most a third of
// its length (one edit is always near). The first of equally near candidates wins.
std::optional<std::string> nearestName(std::string_view name, const std::vector<std::string>& candidates);

} // namespace quietmon
