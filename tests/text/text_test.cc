#include "text/text.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace shorturl {
namespace {

TEST(FindText, TableOfCases) {
  const Text zhong = "中"_gbk;  // D6 D0
  struct Case {
    const char* name;
    Text text, part;
    int start;
    bool ignore_case;
    int want;
  } cases[] = {
      {"plain", "abcabc", "c", 1, false, 3},
      {"from start", "abcabc", "c", 4, false, 6},
      {"start below 1 counts as 1", "abcabc", "a", -5, false, 1},
      {"start beyond the end", "abc", "c", 4, false, -1},
      {"missing", "abc", "d", 1, false, -1},
      {"case counts", "ABC", "b", 1, false, -1},
      {"ignore case", "ABC", "b", 1, true, 2},
      {"empty part in text", "abc", "", 1, false, 1},
      {"empty part past the text", "abc", "", 4, false, -1},
      {"empty part in empty text", "", "", 1, false, -1},
      {"part longer than text", "ab", "abc", 1, false, -1},
      // "中" is D6 D0; "中a" then "\xD0" "a" must not match across the pair.
      {"no match inside a double-byte character", zhong + "a",
       "\xD0"
       "a",
       1, false, -1},
      {"match after a double-byte character", zhong + "a", "a", 1, false, 3},
      {"double-byte part", "ab" + zhong, zhong, 1, false, 3},
      // GBK trail bytes may be ASCII letters: 0x81 0x41 is one character.
      {"trail byte not folded", "\x81\x41", "\x81\x61", 1, true, -1},
      {"trail letter is not a character", "\x81\x41", "A", 1, false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FindText(c.text, c.part, c.start, c.ignore_case), c.want);
  }
}

TEST(TextParts, LeftRightMiddle) {
  EXPECT_EQ(LeftPart("abcdef", 2), "ab");
  EXPECT_EQ(LeftPart("abc", 10), "abc");
  EXPECT_EQ(LeftPart("abc", 0), "");
  EXPECT_EQ(LeftPart("abc", -1), "");
  EXPECT_EQ(RightPart("abcdef", 2), "ef");
  EXPECT_EQ(RightPart("abc", 10), "abc");
  EXPECT_EQ(RightPart("abc", -3), "");
  EXPECT_EQ(MiddlePart("abcdef", 2, 3), "bcd");
  EXPECT_EQ(MiddlePart("abcdef", 5, 10), "ef");
  EXPECT_EQ(MiddlePart("abcdef", 0, 2), "");
  EXPECT_EQ(MiddlePart("abcdef", 7, 1), "");
  EXPECT_EQ(MiddlePart("abcdef", 2, 0), "");
}

TEST(TextCase, OnlyAsciiLettersChange) {
  Text mixed = "aZ"_gbk + "中"_gbk + "\x81\x61" + "q";
  EXPECT_EQ(ToUpperText(mixed), "AZ"_gbk + "中"_gbk + "\x81\x61" + "Q");
  EXPECT_EQ(ToLowerText("ABC\x81\x41"), "abc\x81\x41");
}

TEST(RemoveAllSpaces, AsciiAndIdeographic) {
  EXPECT_EQ(RemoveAllSpaces(" a\xA1\xA1"
                            "b  "),
            "ab");
  // A1 A1 straddling two characters is not an ideographic space.
  EXPECT_EQ(RemoveAllSpaces("\xB0\xA1\xA1\xB0"), "\xB0\xA1\xA1\xB0");
  EXPECT_EQ(RemoveAllSpaces("\t"), "\t");
}

TEST(ReplaceText, EveryOccurrenceOnCharacterBoundaries) {
  EXPECT_EQ(ReplaceText("aXbXc", "X", "--"), "a--b--c");
  EXPECT_EQ(ReplaceText("aXbXc", "X"), "abc");
  EXPECT_EQ(ReplaceText("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceText("abc", "", "z"), "abc");
  // "\xD0" "a" sits across the end of "中" and must stay.
  EXPECT_EQ(ReplaceText("中a"_gbk,
                        "\xD0"
                        "a",
                        "!"),
            "中a"_gbk);
}

TEST(TextToNumber, TableOfCases) {
  struct Case {
    Text text;
    double want;
  } cases[] = {
      {"200", 200},
      {"  -12.5e1x", -125},
      {"+.5", 0.5},
      {"5.", 5},
      {"1e", 1},
      {"1e+", 1},
      {"abc", 0},
      {"", 0},
      {".", 0},
      {"-", 0},
      {"0x10", 0},
      {"inf", 0},
      {"200.7", 200.7},
      {"２００"_gbk, 200},  // full-width digits
      {"　－３"_gbk, -3},   // ideographic space and full-width minus
      {"1e400", std::numeric_limits<double>::infinity()},
      {"1e-400", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TextToNumber(c.text), c.want);
  }
}

TEST(TextToInt32, TruncatesAndWraps) {
  struct Case {
    Text text;
    std::int32_t want;
  } cases[] = {
      {"200.7", 200},
      {"199.99", 199},
      {"-1.9", -1},
      {"4294967496", 200},  // 2^32 + 200: low 32 bits
      {"2147483648", INT32_MIN},
      {"1e19", 0},  // beyond 64 bits
      {"1e400", 0},
      {"nan", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TextToInt32(c.text), c.want);
  }
}

TEST(NumberToText, DecimalForms) {
  EXPECT_EQ(NumberToText(std::int64_t{8}), "8");
  EXPECT_EQ(NumberToText(std::int64_t{-42}), "-42");
  EXPECT_EQ(NumberToText(200.5), "200.5");
  EXPECT_EQ(NumberToText(3.0), "3");
}

TEST(TextAndBytes, Conversions) {
  Bytes bytes = {'a', 'b', 0, 'c'};
  EXPECT_EQ(TextFromBytes(bytes), "ab");
  EXPECT_EQ(TextFromBytes(Bytes{'x', 'y'}), "xy");
  EXPECT_EQ(BytesFromText("ab"), (Bytes{'a', 'b'}));
  EXPECT_EQ(BlankText(3), "   ");
  EXPECT_EQ(BlankText(-1), "");
  EXPECT_EQ(BlankBytes(2), (Bytes{0, 0}));
}

}  // namespace
}  // namespace shorturl
