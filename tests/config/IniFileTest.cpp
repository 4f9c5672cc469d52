#include "config/IniFile.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

TEST(IniFileReading, MatchesSectionAndKeyNamesWithoutRegardToCase) {
    const IniFile file = IniFile::parse("[general]\r\nTITLE=Studio\r\n");
    EXPECT_EQ(file.read("General", "Title"), "Studio");
    EXPECT_EQ(file.read("GENERAL", "title"), "Studio");
}

TEST(IniFileReading, AMissingSectionOrKeyGivesNothing) {
    const IniFile file = IniFile::parse("[General]\nTop=1\n");
    EXPECT_FALSE(file.read("General", "Left"));
    EXPECT_FALSE(file.read("Email", "Top"));
    EXPECT_FALSE(IniFile().read("General", "Top"));
}

TEST(IniFileReading, TheFirstOfDuplicateSectionsAndKeysCounts) {
    const IniFile file = IniFile::parse("[A]\nk=first\nk=second\nonly=here\n[a]\nk=third\nlater=x\n");
    EXPECT_EQ(file.read("A", "k"), "first");
    EXPECT_EQ(file.read("A", "only"), "here");
    EXPECT_FALSE(file.read("A", "later"));
}

TEST(IniFileReading, TrimsNamesAndValuesAndDropsMatchingQuotes) {
    const IniFile file =
        IniFile::parse("  [ Email ]  \n\t From \t=  \"a b\"  \nTo='x'\nOdd=\"half\nMixed=\"y'\n");
    EXPECT_EQ(file.read("Email", "From"), "a b");
    EXPECT_EQ(file.read("Email", "To"), "x");
    EXPECT_EQ(file.read("Email", "Odd"), "\"half");
    EXPECT_EQ(file.read("Email", "Mixed"), "\"y'");
}

TEST(IniFileReading, KeepsEverythingAfterTheFirstEqualsSign) {
    const IniFile file = IniFile::parse("[Query]\nQuery=a=b&c=d\nEmpty=\n");
    EXPECT_EQ(file.read("Query", "Query"), "a=b&c=d");
    EXPECT_EQ(file.read("Query", "Empty"), "");
}

TEST(IniFileReading, AcceptsEveryKindOfLineEnd) {
    for (const char* text :
         {"[S]\r\na=1\r\nb=2\r\n", "[S]\na=1\nb=2\n", "[S]\ra=1\rb=2\r", "[S]\na=1\r\nb=2"}) {
        const IniFile file = IniFile::parse(text);
        EXPECT_EQ(file.read("S", "a"), "1") << text;
        EXPECT_EQ(file.read("S", "b"), "2") << text;
    }
}

TEST(IniFileReading, SkipsAByteOrderMark) {
    const IniFile file = IniFile::parse("\xEF\xBB\xBF[General]\nTop=5\n");
    EXPECT_EQ(file.read("General", "Top"), "5");
}

TEST(IniFileReading, IgnoresKeysBeforeAnySectionAndLinesWithoutEquals) {
    const IniFile file = IniFile::parse("Top=1\n[General]\nLeft\n; comment\nVisible=0\n");
    EXPECT_FALSE(file.read("", "Top"));
    EXPECT_FALSE(file.read("General", "Top"));
    EXPECT_FALSE(file.read("General", "Left"));
    EXPECT_EQ(file.read("General", "Visible"), "0");
}

TEST(IniFileReading, TakesNulBytesAsOrdinaryCharacters) {
    const std::string text("[S]\na=x\0y\nb=2\n", 14);
    const IniFile file = IniFile::parse(text);
    EXPECT_EQ(file.read("S", "a"), std::string("x\0y", 3));
    EXPECT_EQ(file.read("S", "b"), "2");
}

TEST(IniFileReading, CutsValuesAt2047Characters) {
    const std::string longValue(5'000'000, 'v');
    const IniFile file = IniFile::parse("[S]\nlong=" + longValue + "\nnext=1\n");
    EXPECT_EQ(file.read("S", "long")->size(), 2047u);
    EXPECT_EQ(file.read("S", "next"), "1");
}

TEST(IniFileWriting, CreatesSectionsInTheOrderWritten) {
    IniFile file;
    file.write("General", "Top", "10");
    file.write("Activation", "Silence", "300");
    file.write("General", "Title", "x");
    EXPECT_EQ(file.text(), "[General]\r\nTop=10\r\nTitle=x\r\n\r\n[Activation]\r\nSilence=300\r\n");
}

TEST(IniFileWriting, ReplacesAValueWhereItStandsKeepingEverythingElse) {
    IniFile file = IniFile::parse("; kept\n[General]\nunknown=1\n top = 5 \nLeft=3\n\n[Other]\nx=y\n");
    file.write("General", "Top", "10");
    EXPECT_EQ(file.text(), "; kept\n[General]\nunknown=1\nTop=10\nLeft=3\n\n[Other]\nx=y\n");
}

TEST(IniFileWriting, AppendsANewKeyAtTheEndOfItsSectionBeforeBlankLines) {
    IniFile file = IniFile::parse("[General]\nTop=5\n\n\n[Other]\nx=y\n");
    file.write("general", "Left", "3");
    EXPECT_EQ(file.text(), "[General]\nTop=5\nLeft=3\n\n\n[Other]\nx=y\n");
}

TEST(IniFileWriting, AppendsANewSectionAtTheEndUsingTheFilesLineEnds) {
    IniFile file = IniFile::parse("[General]\nTop=5");
    file.write("Email", "To", "a@b");
    EXPECT_EQ(file.text(), "[General]\nTop=5\n\n[Email]\nTo=a@b\n");
}

TEST(IniFileWriting, WritesIntoTheFirstOfDuplicateSections) {
    IniFile file = IniFile::parse("[A]\nk=1\n[A]\nk=2\n");
    file.write("A", "k", "9");
    file.write("A", "new", "n");
    EXPECT_EQ(file.text(), "[A]\nk=9\nnew=n\n[A]\nk=2\n");
}

TEST(IniFileWriting, KeepsTheByteOrderMarkAndUnknownLines) {
    const std::string original = "\xEF\xBB\xBF[S]\r\nweird line\r\n[T]\rk=v\r";
    EXPECT_EQ(IniFile::parse(original).text(), original);
}

TEST(IniFileWriting, KeepsRunsOfEmptyLinesWhateverTheirLineEnds) {
    IniFile file = IniFile::parse("[S]\r\na=1\r\n\r\n\r\n\n\n\r\r\r\n[T]\n\n");
    EXPECT_EQ(file.lines().size(), 11u); // "\r\r\n" is a lone CR, then CR LF
    EXPECT_EQ(file.lines()[7].ending, "\r");
    file.write("S", "b", "2");
    file.write("T", "c", "3");
    EXPECT_EQ(file.text(), "[S]\r\na=1\r\nb=2\r\n\r\n\r\n\n\n\r\r\r\n[T]\nc=3\r\n\n");
    EXPECT_EQ(file.read("T", "c"), "3");
}

TEST(IniFileWriting, AValueCannotBreakIntoSeveralLines) {
    IniFile file;
    file.write("Email", "Subject", "hello\r\n[General]\nTop=1");
    EXPECT_EQ(file.read("Email", "Subject"), "hello  [General] Top=1");
    EXPECT_FALSE(file.read("General", "Top"));
}

} // namespace
} // namespace quietmon
