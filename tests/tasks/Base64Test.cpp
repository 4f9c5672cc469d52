#include "tasks/email/Base64.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

TEST(Base64, EncodesTheTestVectorsOfRfc4648) {
    EXPECT_EQ(encodeBase64(""), "");
    EXPECT_EQ(encodeBase64("f"), "Zg==");
    EXPECT_EQ(encodeBase64("fo"), "Zm8=");
    EXPECT_EQ(encodeBase64("foo"), "Zm9v");
    EXPECT_EQ(encodeBase64("foob"), "Zm9vYg==");
    EXPECT_EQ(encodeBase64("fooba"), "Zm9vYmE=");
    EXPECT_EQ(encodeBase64("foobar"), "Zm9vYmFy");
}

TEST(Base64, EncodesEveryByteValue) {
    EXPECT_EQ(encodeBase64(std::string("\x00\xff\xfe", 3)), "AP/+");
    EXPECT_EQ(encodeBase64(std::string("\xfb\xff", 2)), "+/8=");
}

TEST(Base64, BreaksMimeBodiesIntoLinesOfSeventySixCharacters) {
    EXPECT_EQ(encodeBase64Lines(""), "");
    const std::string oneLine(57, 'a'); // 57 bytes are exactly 76 characters
    const std::string lines = encodeBase64Lines(oneLine);
    EXPECT_EQ(lines, encodeBase64(oneLine) + "\r\n");
    EXPECT_EQ(lines.size(), 78u);

    const std::string twoLines = encodeBase64Lines(std::string(58, 'a'));
    EXPECT_EQ(twoLines, encodeBase64(std::string(57, 'a')) + "\r\n" + encodeBase64("a") + "\r\n");
}

} // namespace
} // namespace quietmon
