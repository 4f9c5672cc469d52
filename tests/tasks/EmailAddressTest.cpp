#include "tasks/email/EmailAddress.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

std::vector<std::string> addressesOf(std::string_view text) {
    std::vector<std::string> addresses;
    for (const EmailAddress& mailbox : splitEmailAddressList(text))
        addresses.push_back(mailbox.address);
    return addresses;
}

TEST(EmailAddressList, SplitsAtCommasInTheOrderWritten) {
    EXPECT_EQ(addressesOf("desk@example.org,boss@example.org"),
              (std::vector<std::string>{"desk@example.org", "boss@example.org"}));
    EXPECT_EQ(addressesOf("  desk@example.org ,  boss@example.org  "),
              (std::vector<std::string>{"desk@example.org", "boss@example.org"}));
}

TEST(EmailAddressList, TakesDisplayNamesWithTheAddressInAngleBrackets) {
    const std::vector<EmailAddress> list =
        splitEmailAddressList("Night desk <desk@example.org>, boss@example.org");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].displayName, "Night desk");
    EXPECT_EQ(list[0].address, "desk@example.org");
    EXPECT_EQ(list[1].displayName, "");
    EXPECT_EQ(list[1].address, "boss@example.org");
}

TEST(EmailAddressList, ACommaInsideAQuotedNameOrInsideBracketsDoesNotSeparate) {
    const std::vector<EmailAddress> list =
        splitEmailAddressList("\"Doe, John\" <john@example.org>, <odd,one@example.org>");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].displayName, "Doe, John");
    EXPECT_EQ(list[0].address, "john@example.org");
    EXPECT_EQ(list[1].address, "odd,one@example.org");
}

TEST(EmailAddressList, SkipsEmptyEntries) {
    EXPECT_EQ(addressesOf(""), std::vector<std::string>{});
    EXPECT_EQ(addressesOf(" , ,desk@example.org,"), std::vector<std::string>{"desk@example.org"});
}

TEST(EmailAddressList, KeepsTheDefaultAtSignAsOneAddress) {
    EXPECT_EQ(addressesOf("@"), std::vector<std::string>{"@"});
}

TEST(EmailAddress, ResolvesEscapesInAQuotedName) {
    const EmailAddress mailbox = parseEmailAddress(R"("The \"Night\" desk" <desk@example.org>)");
    EXPECT_EQ(mailbox.displayName, "The \"Night\" desk");
    EXPECT_EQ(mailbox.address, "desk@example.org");
}

TEST(EmailAddress, AnUnclosedBracketLeavesTheTextAsTheAddress) {
    EXPECT_EQ(parseEmailAddress("desk <desk@example.org").address, "desk <desk@example.org");
}

} // namespace
} // namespace quietmon
