#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quietmon {

// One mailbox as the operator writes it: a bare address, or a display name with the address in angle
// brackets ("Night desk <desk@example.org>").
struct EmailAddress {
    std::string displayName; // without quotes; empty for a bare address
    std::string address;
};

// One mailbox from its text; surrounding spaces are dropped.
EmailAddress parseEmailAddress(std::string_view text);

// A list of mailboxes separated by commas, in order. A comma inside a quoted display name or inside
// angle brackets does not separate; empty entries are skipped.
std::vector<EmailAddress> splitEmailAddressList(std::string_view text);

} // namespace quietmon
