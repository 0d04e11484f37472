#include "text/codepage.h"

#include <gtest/gtest.h>

#include <random>

namespace shorturl {
namespace {

TEST(CodePage, RoundTripsGbk) {
  const Text zhong = "\xD6\xD0\xCE\xC4";  // 中文
  EXPECT_EQ(Utf16FromText(zhong), u"中文");
  EXPECT_EQ(TextFromUtf16(u"中文"), zhong);
  EXPECT_EQ(Utf8FromText(zhong), "中文");
  EXPECT_EQ(TextFromUtf8("中文"), zhong);
  EXPECT_EQ("网址缩短》原网址："_gbk, TextFromUtf16(u"网址缩短》原网址："));
}

TEST(CodePage, EuroSignIsByte80) {
  EXPECT_EQ(Utf16FromText("\x80"), u"\u20AC");
  EXPECT_EQ(TextFromUtf16(u"\u20AC"), "\x80");
}

TEST(CodePage, CharactersGbkLacksBecomeQuestionMarks) {
  EXPECT_EQ(TextFromUtf16(u"a\U0001F600b"), "a?b");    // emoji, a surrogate pair
  EXPECT_EQ(TextFromUtf16(u"a\xD800z"), "a?z");        // lone high surrogate
  EXPECT_EQ(TextFromUtf16(u"\xDC00"), "?");            // lone low surrogate
  EXPECT_EQ(TextFromUtf8("a\xF0\x9F\x98\x80"), "a?");  // emoji in UTF-8
  EXPECT_EQ(TextFromUtf8("a\xFF\xC0z"), "a??z");       // malformed UTF-8
  EXPECT_EQ(TextFromUtf8("\xE4\xB8"), "?");            // cut-off sequence
}

TEST(CodePage, BytesThatAreNotGbkBecomeReplacementCharacters) {
  EXPECT_EQ(Utf16FromText("a\xFF"
                          "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf16FromText("\x81\x20x"), u"\uFFFD x");  // bad trail: only the lead is lost
  EXPECT_EQ(Utf16FromText("ab\xD6"), u"ab\uFFFD");     // lead byte at the end
  EXPECT_EQ(Utf8FromText("\xFF"), "\xEF\xBF\xBD");
}

TEST(CodePage, ConversionToTextEndsAtNul) {
  EXPECT_EQ(TextFromUtf16(std::u16string(u"ab\0cd", 5)), "ab");
  EXPECT_EQ(TextFromUtf8(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(Utf16FromText(std::string("ab\0cd", 5)), u"ab");
}

TEST(CodePage, NoByteStringCrashesOrLoops) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 64, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    Text text = TextFromUtf8(bytes);
    EXPECT_EQ(text.find('\0'), std::string::npos);
    Utf8FromText(bytes);
    std::u16string units(bytes.size() / 2, u'\0');
    for (char16_t& u : units) u = static_cast<char16_t>(random());
    TextFromUtf16(units);
  }
}

}  // namespace
}  // namespace shorturl
