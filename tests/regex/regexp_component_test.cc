#include "platform/regexp_component.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace shorturl {
namespace {

TEST(RegExpComponent, WritingAMemberItLacksFailsAndChangesNothing) {
  RegExpComponent component;
  component.SetPattern("a.b");
  EXPECT_TRUE(component.WriteBool("Global", true));
  EXPECT_FALSE(component.WriteBool("Singleline", true));
  EXPECT_FALSE(component.WriteBool("ignorecase", true));  // names are exact
  EXPECT_FALSE(component.IgnoreCase());
  // Had Singleline taken, "." would also match the line feed.
  std::optional<RegExpMatches> matches = component.Execute("a\nb A-B a-b");
  ASSERT_TRUE(matches);
  ASSERT_EQ(matches->size(), 1u);
  EXPECT_EQ((*matches)[0].value, "a-b");
}

TEST(RegExpComponent, OptionsChangeTheMatches) {
  struct Case {
    const char* name;
    bool ignore_case, multiline, global;
    const char* pattern;
    const char* subject;
    std::vector<std::string> values;
  } cases[] = {
      {"case sensitive", false, false, true, "ab", "AB ab Ab", {"ab"}},
      {"ignore case", true, false, true, "ab", "AB ab Ab", {"AB", "ab", "Ab"}},
      {"not global: the first only", true, false, false, "ab", "AB ab", {"AB"}},
      {"anchors at the subject only", false, false, true, "^x", "x\nx", {"x"}},
      {"anchors at every line", false, true, true, "^x\\d", "x1\nx2", {"x1", "x2"}},
      {"empty matches step on", false, false, true, "b*", "ab", {"", "b", ""}},
      {"no match", false, false, true, "z", "ab", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegExpComponent component;
    component.WriteBool("IgnoreCase", c.ignore_case);
    component.WriteBool("Multiline", c.multiline);
    component.WriteBool("Global", c.global);
    component.SetPattern(c.pattern);
    std::optional<RegExpMatches> matches = component.Execute(c.subject);
    ASSERT_TRUE(matches);
    std::vector<std::string> values;
    for (const RegExpMatch& m : *matches) values.push_back(m.value);
    EXPECT_EQ(values, c.values);
  }
}

TEST(RegExpComponent, MatchesCountUtf16UnitsAndGiveEveryGroup) {
  RegExpComponent component;
  component.WriteBool("Global", true);
  component.SetPattern("(\\w)(x)?=(中)"_gbk);
  std::optional<RegExpMatches> matches = component.Execute("中文a=中 bx=中"_gbk);
  ASSERT_TRUE(matches);
  ASSERT_EQ(matches->size(), 2u);
  EXPECT_EQ((*matches)[0].first_index, 2);  // two characters, four bytes
  EXPECT_EQ((*matches)[0].value, "a=中"_gbk);
  // The optional group took no part in the first match.
  EXPECT_EQ((*matches)[0].sub_matches, (std::vector<Text>{"a", "", "中"_gbk}));
  EXPECT_EQ((*matches)[1].first_index, 6);
  EXPECT_EQ((*matches)[1].sub_matches, (std::vector<Text>{"b", "x", "中"_gbk}));
}

TEST(RegExpComponent, InvalidPatternFailsExecuteAndReplace) {
  RegExpComponent component;
  component.SetPattern("a(b");
  EXPECT_FALSE(component.Execute("ab"));
  EXPECT_FALSE(component.Replace("ab", "x"));
  EXPECT_EQ(component.Pattern(), "a(b");
}

TEST(RegExpComponent, ReplaceForms) {
  struct Case {
    const char* name;
    bool global;
    const char* pattern;
    const char* replacement;
    const char* result;
  } cases[] = {
      {"groups", true, "(\\w+)@(\\w+)", "$2 at $1", "b at a, d at c"},
      {"whole match", true, "\\w+@", "<$&>", "<a@>b, <c@>d"},
      {"before and after", false, "@", "[$`|$']", "a[a|b, c@d]b, c@d"},
      {"dollar", true, "@", "$$", "a$b, c$d"},
      {"not global: the first only", false, "@", "#", "a#b, c@d"},
      {"two digits only when that group exists", true, "(\\w)@", "$10", "a0b, c0d"},
      {"no such group stays as written", true, "(\\w)@", "$2$0$", "$2$0$b, $2$0$d"},
      {"a group that took no part is empty", false, "(x)?@", "[$1]", "a[]b, c@d"},
      {"no match leaves the subject", true, "z", "y", "a@b, c@d"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegExpComponent component;
    component.WriteBool("Global", c.global);
    component.SetPattern(c.pattern);
    EXPECT_EQ(component.Replace("a@b, c@d", c.replacement), Text(c.result));
  }
}

TEST(RegExpComponent, ReplaceWithElevenGroupsTakesTwoDigits) {
  RegExpComponent component;
  component.SetPattern("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)");
  EXPECT_EQ(component.Replace("abcdefghijk", "$11$1"), "ka");
}

TEST(ByteOffsetOfUtf16Index, CountsADoubleByteCharacterOnce) {
  const Text text = "中a文b"_gbk;
  EXPECT_EQ(ByteOffsetOfUtf16Index(text, 0), 0);
  EXPECT_EQ(ByteOffsetOfUtf16Index(text, 1), 2);
  EXPECT_EQ(ByteOffsetOfUtf16Index(text, 3), 5);
  EXPECT_EQ(ByteOffsetOfUtf16Index(text, 9), 6);
}

}  // namespace
}  // namespace shorturl
