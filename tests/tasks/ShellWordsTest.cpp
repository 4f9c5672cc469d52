#include "tasks/openplay/ShellWords.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

struct Split {
    const char* name;
    const char* text;
    std::vector<std::string> words;
};

class ShellWordsTest : public ::testing::TestWithParam<Split> {};

TEST_P(ShellWordsTest, SplitsAsAShellWouldWithoutExpandingAnything) {
    EXPECT_EQ(splitShellWords(GetParam().text), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ShellWordsTest,
    ::testing::Values(
        Split{"Empty", "", {}}, Split{"OnlyBlanks", " \t ", {}}, Split{"OneWord", "-q", {"-q"}},
        Split{"BlanksOfEveryKind", "  one\ttwo\nthree  ", {"one", "two", "three"}},
        // The words a placeholder may bring: a command substitution, a list, a pipe.
        Split{"CommandsStayWords",
              R"(one "two words" $(touch x) ;y)",
              {"one", "two words", "$(touch", "x)", ";y"}},
        Split{"OperatorsAndPatternsStayLiteral",
              "`reboot` a|b c&&d >e *.mp3 ~/x #no-comment $HOME ${X}",
              {"`reboot`", "a|b", "c&&d", ">e", "*.mp3", "~/x", "#no-comment", "$HOME", "${X}"}},
        Split{"SingleQuotesKeepEverything", "'single $quoted \"text\"'", {R"(single $quoted "text")"}},
        Split{"DoubleQuotesEscapeOnlyWhatTheyMust", R"("a \"b\" \$c \`d\` \\ \e")", {R"(a "b" $c `d` \ \e)"}},
        Split{"BackslashesOutsideQuotes",
              R"(back\ slashed \"x\" \\ \'y)",
              {"back slashed", "\"x\"", "\\", "'y"}},
        Split{"QuotesGlueWordsAndMakeEmptyOnes",
              R"(glued"together"'ok' "" '' end)",
              {"gluedtogetherok", "", "", "end"}},
        Split{"BackslashedLineBreaksJoinLines",
              "line\\\ncontinued \"in\\\nquotes\"",
              {"linecontinued", "inquotes"}},
        Split{"ThePlaceholderLineBreakSplits",
              "Silence on Left\r\nat 07:05:09",
              {"Silence", "on", "Left", "at", "07:05:09"}},
        Split{"AnOpenSingleQuoteRunsToTheEnd", "open 'quote runs on", {"open", "quote runs on"}},
        Split{"AnOpenDoubleQuoteRunsToTheEnd", "open \"quote \\", {"open", "quote \\"}},
        Split{"ATrailingBackslashStays", "trailing\\", {"trailing\\"}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quietmon
