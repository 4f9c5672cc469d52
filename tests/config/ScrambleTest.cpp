#include "config/Scramble.h"

#include <gtest/gtest.h>
#include <random>

namespace quietmon {
namespace {

TEST(Scramble, TheWorkedExample) {
    EXPECT_EQ(scramble("abc"), "jhkjii");
    EXPECT_EQ(unscramble("jhkjii"), "abc");
}

TEST(Scramble, TheSameCharacterScramblesDifferentlyByPosition) {
    EXPECT_EQ(scramble("aaa"), "jhkiig");
}

TEST(Scramble, EmptyStaysEmpty) {
    EXPECT_EQ(scramble(""), "");
    EXPECT_EQ(unscramble(""), "");
}

TEST(Scramble, ATrailingOddCharacterIsDropped) {
    EXPECT_EQ(unscramble("jhkjiix"), "abc");
    EXPECT_EQ(unscramble("j"), "");
}

TEST(Scramble, SixteenCharactersBecomeThirtyTwoLowercaseLetters) {
    const std::string scrambled = scramble("0123456789abcdef");
    ASSERT_EQ(scrambled.size(), 32u);
    for (std::size_t i = 0; i < scrambled.size(); ++i) {
        if (i % 2 == 0)
            EXPECT_TRUE(scrambled[i] >= 'c' && scrambled[i] <= 't') << i;
        else
            EXPECT_TRUE(scrambled[i] >= 'f' && scrambled[i] <= 'w') << i;
    }
}

TEST(Scramble, EveryByteValueRoundTripsAtEveryPosition) {
    for (int value = 0; value < 256; ++value) {
        for (const std::size_t position : {0u, 1u, 2u}) {
            std::string plain(position + 1, 'x');
            plain[position] = static_cast<char>(value);
            EXPECT_EQ(unscramble(scramble(plain)), plain) << value << " at " << position;
        }
    }
}

TEST(Scramble, RandomStringsRoundTrip) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 300);
    for (int round = 0; round < 500; ++round) {
        std::string plain(static_cast<std::size_t>(length(random)), '\0');
        for (char& c : plain)
            c = static_cast<char>(byte(random));
        EXPECT_EQ(unscramble(scramble(plain)), plain);
    }
}

TEST(Scramble, HandEditedTextUnscramblesToEightBitsWithoutFailing) {
    // 'z' * 16 + 'z' - 17 - 1686 = 371, taken to eight bits: 115; 'A' * 16 + 'A' - 34 - 1686 = -595: 153.
    EXPECT_EQ(unscramble("zzAA"), std::string("s\x99"));
}

} // namespace
} // namespace quietmon
