#include "json/literal_data.h"

#include <gtest/gtest.h>

#include <string>

#include "text/codepage.h"

namespace shorturl {
namespace {

TEST(LiteralData, AcceptsJsonAndTheScriptLiteralForms) {
  const char* accepted[] = {
      "null",
      "true",
      " false ",
      "0",
      "-1.5e+3",
      "+2",
      ".5",
      "5.",
      "0x1F",
      "[]",
      "{}",
      R"({"code":200,"data":{"short_url":"http:\/\/t.cn\/x"}})",
      R"({'code': '200', msg: 'ok', $a_1: [1, 'two', {}], 3: null})",
      R"([1,,2,])",
      R"({a:1,})",
      R"(["quote \" in", 'it\'s', "\\"])",
      R"({"text":"line\nbreak\r"})",
      "{\"u\":\"\\u4e2d\"}",
      "\t[ 1 ,\xE3\x80\x80 2 ]",                  // tab and ideographic space between tokens
      R"x({"a":"(function(){while(1){}})()"})x",  // script inside a string is only text
  };
  for (const char* text : accepted) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(IsLiteralData(Utf16FromText(TextFromUtf8(text))));
  }
  EXPECT_TRUE(IsLiteralData(u"{中文: '中文'}"));
}

TEST(LiteralData, RefusesEverythingThatIsNotALiteral) {
  const char* refused[] = {
      "",
      "   ",
      "(function(){while(1){}})()",
      "1);while(1){}(1",
      "{get a(){return 1}}",
      "{set a(v){}}",
      "alert(1)",
      "[1].map(f)",
      "{a:1}+{}",
      "-{a:1}",
      "--1",
      "1+1",
      "da=1",
      "x",
      "undefined",
      "NaN",
      "-Infinity",
      "/x/",
      "[/x/g]",
      "1//",
      "1/*c*/",
      "`t`",
      "{a:b}",
      "{a:1 b:2}",
      "{a}",
      "{[k]:1}",
      "{...o}",
      "[...a]",
      "[1]\\n",
      "[1,\\n2]",
      "[1,\n2]",
      "[1] [2]",
      "{'a':1",
      "[1",
      "'open",
      "\"a\\",
      "1.2.3",
      "5in",
      "0x",
      "1e",
      "truex",
      "{1a:2}",
      "{a:1}.a",
      "[1][0]",
      "{\"a\":1}) ; (1",
      // A string alone: eval would run what it holds.
      "'while(1){}'",
      "\"1\"",
  };
  for (const char* text : refused) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(IsLiteralData(Utf16FromText(TextFromUtf8(text))));
  }
  EXPECT_FALSE(IsLiteralData(u"[1,\u2028 2]"));
}

TEST(LiteralData, NestingIsBoundedWithoutRecursion) {
  auto nested = [](int depth) {
    return std::u16string(static_cast<std::size_t>(depth), u'[') +
           std::u16string(static_cast<std::size_t>(depth), u']');
  };
  EXPECT_TRUE(IsLiteralData(nested(kMaxLiteralNesting)));
  EXPECT_FALSE(IsLiteralData(nested(kMaxLiteralNesting + 1)));
  EXPECT_FALSE(IsLiteralData(nested(100000)));
  std::u16string objects;
  for (int i = 0; i < 100000; ++i) objects += u"{a:";
  EXPECT_FALSE(IsLiteralData(objects));
}

}  // namespace
}  // namespace shorturl
