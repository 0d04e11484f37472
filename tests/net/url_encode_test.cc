#include "net/url_encode.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace shorturl {
namespace {

TEST(UrlEncode, KeepsLettersAndDigitsAndEscapesEveryOtherByte) {
  struct Case {
    Text in;
    Text out;
  } cases[] = {
      {"", ""},
      {"abcXYZ019", "abcXYZ019"},
      {"a b", "a%20b"},
      {"-_.~", "%2D%5F%2E%7E"},
      {"\tx", "%09x"},
      {"http://x/?a=1&b=2", "http%3A%2F%2Fx%2F%3Fa%3D1%26b%3D2"},
      {"中文"_gbk, "%D6%D0%CE%C4"},
      {"\x01\x7F\x80\xFF+", "%01%7F%80%FF%2B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(UrlEncode(c.in), c.out);
  }
}

TEST(UrlEncode, EveryByteOutsideTheKeptRangesIsEscaped) {
  for (int b = 1; b < 256; ++b) {
    SCOPED_TRACE(b);
    Text in(1, static_cast<char>(b));
    bool kept = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", b);
    EXPECT_EQ(UrlEncode(in), kept ? in : Text(hex));
  }
}

}  // namespace
}  // namespace shorturl
