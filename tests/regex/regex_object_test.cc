#include "regex/regex_object.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace shorturl {
namespace {

TEST(MatchFirstUrl, FindsTheFirstSchemeAndEverythingUpToWhiteSpace) {
  struct Case {
    const char* name;
    Text text;
    int match_index;
    Text url;
  } cases[] = {
      {"empty", "", 1, ""},
      {"no scheme", "abc", 1, ""},
      {"inside a sentence", "see ab://cd and more", 1, "ab://cd"},
      {"nothing after the slashes", "ab://", 1, "ab://"},
      {"capitals", "AB://CD", 1, "AB://CD"},
      {"the range A-z takes the underscore", "a_b://c", 1, "a_b://c"},
      {"and the brackets, backslash, caret and grave accent", "[\\]^`://x", 1, "[\\]^`://x"},
      {"after Chinese", "中文ab://c"_gbk, 1, "ab://c"},
      {"Chinese in the address", "http://例子.测试/路径 后"_gbk, 1, "http://例子.测试/路径"_gbk},
      {"ends at a tab or line end", "x://a\tb x://c\r\nd", 2, "x://c"},
      {"no scheme letters", "://c", 1, ""},
      {"one slash", "ab:/c", 1, ""},
      {"digits are no scheme letters", "1://c", 1, ""},
      {"one address, index 2", "see ab://cd", 2, ""},
      {"second address", "a://1 b://2", 2, "b://2"},
      {"index 0", "ab://cd", 0, ""},
      {"negative index", "ab://cd", -2147483647 - 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(MatchFirstUrl(c.text, c.match_index), c.url);
  }
}

TEST(MatchFirstUrl, ASubMatchIndexBeyondThePatternsGroupsGivesNothing) {
  EXPECT_EQ(MatchFirstUrl("ab://cd", 1, 1), "");
  EXPECT_EQ(MatchFirstUrl("ab://cd", 1, 0), "ab://cd");
}

TEST(RegexObject, BeforeCreateEverythingIsEmpty) {
  RegexObject regex;
  EXPECT_EQ(regex.GetPattern(), "");
  EXPECT_EQ(regex.ReplaceMatches("x"), "");
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_EQ(regex.SubMatchCount(), 0);
  int position = 7;
  EXPECT_EQ(regex.MatchText(1, &position), "");
  EXPECT_EQ(position, -1);
}

TEST(RegexObject, CreateWithAnEmptySubjectGivesAnEmptyCollection) {
  RegexObject regex;
  EXPECT_TRUE(regex.Create("a", ""));
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_EQ(regex.MatchText(1), "");
}

TEST(RegexObject, InvalidPatternFailsCreateAndLeavesNoOldMatches) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("b", "abc"));
  ASSERT_EQ(regex.MatchCount(), 1);
  EXPECT_FALSE(regex.Create("[b", "abc"));
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_EQ(regex.MatchText(1), "");
  EXPECT_EQ(regex.GetPattern(), "[b");
}

TEST(RegexObject, DefaultsAreIgnoreCaseMultilineGlobal) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("^a$", "A\na\nb"));
  EXPECT_EQ(regex.MatchCount(), 2);
  ASSERT_TRUE(regex.Create("^a$", "A\na\nb", /*case_sensitive=*/true));
  EXPECT_EQ(regex.MatchCount(), 1);
  ASSERT_TRUE(regex.Create("a", "A\na", false, /*multiline=*/true, /*global=*/false));
  EXPECT_EQ(regex.MatchCount(), 1);
  ASSERT_TRUE(regex.Create("^a", "x\na", false, /*multiline=*/false));
  EXPECT_EQ(regex.MatchCount(), 0);
}

TEST(RegexObject, QuoteEscapeTurnsTheMarkerIntoADoubleQuote) {
  const Text pattern = "id=#引号(\\d+)#引号"_gbk;
  RegexObject regex;
  ASSERT_TRUE(regex.Create(pattern, "<a id=\"42\">", false, true, true, /*quote_escape=*/true));
  EXPECT_EQ(regex.GetPattern(), "id=\"(\\d+)\"");
  EXPECT_EQ(regex.MatchText(1), "id=\"42\"");
  EXPECT_EQ(regex.SubMatchText(1, 1), "42");
  // Without it the marker is taken literally.
  ASSERT_TRUE(regex.Create(pattern, "<a id=\"42\">"));
  EXPECT_EQ(regex.GetPattern(), pattern);
  EXPECT_EQ(regex.MatchCount(), 0);
}

TEST(RegexObject, PositionsAreByteOffsetsAfterDoubleByteCharacters) {
  struct Case {
    const char* name;
    Text pattern;
    Text subject;
    int match_index;
    Text text;
    int position;
  } cases[] = {
      {"ascii", "b", "aab", 1, "b", 2},
      {"after two Chinese characters", "ab://c", "中文ab://c"_gbk, 1, "ab://c", 4},
      // An equal text in front of the match is not taken for it.
      {"second of equal matches", "a", "aa", 2, "a", 1},
      {"second after Chinese", "a", "中aa"_gbk, 2, "a", 3},
      {"found ignoring case", "AB", "中ab"_gbk, 1, "ab", 2},
      {"Chinese match", "文+"_gbk, "中文文x"_gbk, 1, "文文"_gbk, 2},
      {"no such match", "a", "a", 2, "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegexObject regex;
    ASSERT_TRUE(regex.Create(c.pattern, c.subject));
    int position = 99;
    EXPECT_EQ(regex.MatchText(c.match_index, &position), c.text);
    EXPECT_EQ(position, c.position);
  }
}

TEST(RegexObject, SubMatches) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("(\\w+)=(\\w*)(;)?", "中 k=v x=; y=z"_gbk));
  EXPECT_EQ(regex.MatchCount(), 3);
  EXPECT_EQ(regex.SubMatchCount(), 3);
  int position = 0;
  EXPECT_EQ(regex.SubMatchText(1, 2, &position), "v");
  EXPECT_EQ(position, 5);
  EXPECT_EQ(regex.SubMatchText(2, 3), ";");
  EXPECT_EQ(regex.SubMatchText(2, 2), "");  // matched empty
  EXPECT_EQ(regex.SubMatchText(3, 3), "");  // took no part
  EXPECT_EQ(regex.SubMatchText(3, 4, &position), "");
  EXPECT_EQ(position, -1);
  EXPECT_EQ(regex.SubMatchText(4, 1), "");
  EXPECT_EQ(regex.SubMatchText(1, 0), "");
}

TEST(RegexObject, ReplaceMatchesUsesTheStoredSubjectAndChangesNothing) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("(\\d+)", "a1 b22"));
  EXPECT_EQ(regex.ReplaceMatches("<$1>"), "a<1> b<22>");
  EXPECT_EQ(regex.ReplaceMatches(""), "a b");
  EXPECT_EQ(regex.MatchCount(), 2);
  EXPECT_EQ(regex.MatchText(2), "22");
}

TEST(RegexObject, ACopySharesTheResultAndOutlivesTheSource) {
  auto source = std::make_unique<RegexObject>();
  ASSERT_TRUE(source->Create("\\d", "1 2"));
  RegexObject copy(*source);
  source.reset();
  EXPECT_EQ(copy.MatchCount(), 2);
  EXPECT_EQ(copy.MatchText(2), "2");
  EXPECT_EQ(copy.GetPattern(), "\\d");
  EXPECT_EQ(copy.ReplaceMatches("#"), "# #");
}

}  // namespace
}  // namespace shorturl
