#include "config/NearestName.h"

#include <algorithm>

namespace quietmon {

namespace {

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Edits between `a` and `b` (optimal string alignment: each character takes part in one edit at most),
// without regard to case.
std::size_t editDistance(std::string_view a, std::string_view b) {
    // Three rows of the table: two back for a swap of neighbours, the previous one and the current one.
    std::vector<std::size_t> twoBack(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = asciiLower(a[i - 1]) == asciiLower(b[j - 1]);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && asciiLower(a[i - 1]) == asciiLower(b[j - 2]) &&
                asciiLower(a[i - 2]) == asciiLower(b[j - 1]))
                current[j] = std::min(current[j], twoBack[j - 2] + 1);
        }
        std::swap(twoBack, previous);
        std::swap(previous, current);
    }
    return previous[b.size()];
}

} // namespace

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

std::string foldedName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        c = asciiLower(c);
    return folded;
}

std::optional<std::string> nearestName(std::string_view name, const std::vector<std::string>& candidates) {
    std::optional<std::string> nearest;
    std::size_t nearestDistance = 0;
    for (const std::string& candidate : candidates) {
        const std::size_t allowed = std::max<std::size_t>(1, candidate.size() / 3);
        const std::size_t lengthGap =
            name.size() > candidate.size() ? name.size() - candidate.size() : candidate.size() - name.size();
        if (lengthGap > allowed)
            continue; // too far apart to be near, whatever the characters
        const std::size_t distance = editDistance(name, candidate);
        if (distance <= allowed && (!nearest || distance < nearestDistance)) {
            nearest = candidate;
            nearestDistance = distance;
        }
    }
    return nearest;
}

} // namespace quietmon
