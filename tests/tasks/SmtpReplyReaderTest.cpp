#include "tasks/email/SmtpReplyReader.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

SmtpReply takeOne(SmtpReplyReader& reader) {
    std::optional<SmtpReply> reply = reader.take();
    if (!reply)
        throw std::runtime_error("no whole reply");
    return *reply;
}

TEST(SmtpReplyReader, ReadsTheCodeAndTextOfASingleLineReply) {
    SmtpReplyReader reader;
    reader.append("220 mail.example.org ESMTP ready\r\n");
    const SmtpReply reply = takeOne(reader);
    EXPECT_EQ(reply.code, 220);
    EXPECT_EQ(reply.lines, std::vector<std::string>{"mail.example.org ESMTP ready"});
    EXPECT_EQ(reply.text(), "mail.example.org ESMTP ready");
    EXPECT_TRUE(reader.empty());
}

TEST(SmtpReplyReader, GathersTheLinesOfAMultiLineReplyUpToTheLineWithASpace) {
    SmtpReplyReader reader;
    reader.append("250-mail.example.org\r\n250-AUTH LOGIN PLAIN\r\n250-STARTTLS\r\n");
    EXPECT_FALSE(reader.take().has_value());
    reader.append("250 HELP\r\n");
    const SmtpReply reply = takeOne(reader);
    EXPECT_EQ(reply.code, 250);
    EXPECT_EQ(reply.lines,
              (std::vector<std::string>{"mail.example.org", "AUTH LOGIN PLAIN", "STARTTLS", "HELP"}));
    EXPECT_EQ(reply.text(), "mail.example.org\nAUTH LOGIN PLAIN\nSTARTTLS\nHELP");
}

TEST(SmtpReplyReader, AReplyArrivingOneByteAtATimeIsWholeOnlyAtItsLastLineBreak) {
    SmtpReplyReader reader;
    const std::string bytes = "354-go\r\n354 on\r\n";
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        reader.append(bytes.substr(i, 1));
        EXPECT_FALSE(reader.take().has_value()) << i;
    }
    reader.append("\n");
    EXPECT_EQ(takeOne(reader).code, 354);
}

TEST(SmtpReplyReader, HandsOutRepliesThatArriveTogetherOneByOne) {
    SmtpReplyReader reader;
    reader.append("250 reset\r\n250 sender ok\r\n550 no such user\r\n");
    EXPECT_EQ(takeOne(reader).code, 250);
    EXPECT_EQ(takeOne(reader).text(), "sender ok");
    EXPECT_EQ(takeOne(reader).code, 550);
    EXPECT_FALSE(reader.take().has_value());
}

TEST(SmtpReplyReader, TakesBareLineFeedsAndCodesWithoutText) {
    SmtpReplyReader reader;
    reader.append("250\n");
    const SmtpReply reply = takeOne(reader);
    EXPECT_EQ(reply.code, 250);
    EXPECT_EQ(reply.text(), "250"); // the code stands in for a missing text
}

TEST(SmtpReplyReader, ALineWithoutAThreeDigitCodeIsAnError) {
    SmtpReplyReader reader;
    reader.append("hello there\r\n");
    EXPECT_THROW(reader.take(), SmtpProtocolError);
    SmtpReplyReader shortLine;
    shortLine.append("25\r\n");
    EXPECT_THROW(shortLine.take(), SmtpProtocolError);
}

TEST(SmtpReplyReader, ALineLongerThanTheLimitFailsBeforeItsEndArrives) {
    SmtpReplyReader reader(SmtpReplyLimits{100, 1000});
    reader.append("220 " + std::string(96, 'x'));
    EXPECT_FALSE(reader.take().has_value()); // exactly at the limit: still waiting
    reader.append("x");
    EXPECT_THROW(reader.take(), SmtpProtocolError);
}

TEST(SmtpReplyReader, ALineJustAtTheLimitIsTakenEvenWhenItsCrArrivesBeforeItsLf) {
    SmtpReplyReader reader(SmtpReplyLimits{100, 1000});
    reader.append("220 " + std::string(96, 'x') + "\r");
    EXPECT_FALSE(reader.take().has_value());
    reader.append("\n");
    EXPECT_EQ(takeOne(reader).text(), std::string(96, 'x'));
}

TEST(SmtpReplyReader, AMultiLineReplyLongerThanTheLimitFailsBeforeItsLastLine) {
    SmtpReplyReader reader(SmtpReplyLimits{100, 1000});
    try {
        for (int i = 0; i < 1000; ++i) {
            reader.append("250-capability\r\n");
            EXPECT_FALSE(reader.take().has_value());
        }
        FAIL() << "an endless reply was accepted";
    } catch (const SmtpProtocolError& error) {
        EXPECT_STREQ(error.what(), "The SMTP server sent a reply longer than 1000 bytes.");
    }
}

TEST(SmtpReplyReader, ClearForgetsBytesNotYetTaken) {
    SmtpReplyReader reader;
    reader.append("250-partial\r\n250 whole\r\n220 injected");
    EXPECT_EQ(takeOne(reader).code, 250);
    EXPECT_FALSE(reader.empty());
    reader.clear();
    EXPECT_TRUE(reader.empty());
    reader.append("250 after\r\n");
    EXPECT_EQ(takeOne(reader).text(), "after");
}

TEST(PrintableServerText, ReplacesControlBytesAndCutsLongTexts) {
    EXPECT_EQ(printableServerText(std::string("a\x1b[2Jb\tc\x7f", 9)), "a?[2Jb?c?");
    EXPECT_EQ(printableServerText(std::string(10, 'x'), 4), "xxxx...");
}

} // namespace
} // namespace quietmon
