#include "config/SmtpServerAddress.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

void expectServer(std::string_view text, const std::string& host, long port) {
    const SmtpServerAddress address = parseSmtpServerText(text);
    EXPECT_EQ(address.host, host) << text;
    EXPECT_EQ(address.port, port) << text;
}

TEST(SmtpServerText, AHostAColonAndANumberGiveThatHostAndPort) {
    expectServer("mail.example.org:587", "mail.example.org", 587);
    expectServer("abc:26", "abc", 26);
}

TEST(SmtpServerText, AHostAloneUsesPort25) {
    expectServer("mail.example.org", "mail.example.org", 25);
    expectServer("", "", 25);
}

TEST(SmtpServerText, APortThatIsNotAWholeNumberGivesPort25) {
    expectServer("mail.example.org:x", "mail.example.org", 25);
    expectServer("mail.example.org:58a", "mail.example.org", 25);
    expectServer("mail.example.org:", "mail.example.org", 25);
}

TEST(SmtpServerText, AColonAmongTheFirstThreeCharactersBelongsToTheHostName) {
    expectServer("ab:25", "ab:25", 25);
    expectServer("a:587", "a:587", 25);
    expectServer(":587", ":587", 25);
}

TEST(SmtpServerText, OnlyTheFirstFiveCharactersAfterTheColonMakeThePort) {
    expectServer("mail.example.org:1234567", "mail.example.org", 12345);
    expectServer("mail.example.org:587:25", "mail.example.org", 25);
}

TEST(SmtpServerText, AWholeNumberOutsideThePortRangeIsKeptForTheConnectionToRefuse) {
    expectServer("mail.example.org:99999", "mail.example.org", 99999);
    expectServer("mail.example.org:0", "mail.example.org", 0);
}

} // namespace
} // namespace quietmon
