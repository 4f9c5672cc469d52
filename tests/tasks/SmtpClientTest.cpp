#include "tasks/email/SmtpClient.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

TEST(DotStuffing, DoublesADotThatStartsALineAndEndsWithTheDotLine) {
    EXPECT_EQ(dotStuffed("Subject: x\r\n\r\n.hidden\r\nshown.\r\n"),
              "Subject: x\r\n\r\n..hidden\r\nshown.\r\n.\r\n");
    EXPECT_EQ(dotStuffed(".\r\n"), "..\r\n.\r\n");
    EXPECT_EQ(dotStuffed("..\r\n"), "...\r\n.\r\n");
}

TEST(DotStuffing, EndsTheLastLineBeforeTheDotLine) {
    EXPECT_EQ(dotStuffed("body"), "body\r\n.\r\n");
    EXPECT_EQ(dotStuffed(""), ".\r\n");
}

TEST(DotStuffing, MakesEveryLoneLineBreakACrLfSoThatNoBareDotLineCanEndTheMessageEarly) {
    EXPECT_EQ(dotStuffed("a\n.\nb\r.\rc"), "a\r\n..\r\nb\r\n..\r\nc\r\n.\r\n");
}

} // namespace
} // namespace quietmon
