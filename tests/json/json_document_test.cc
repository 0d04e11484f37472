#include "json/json_document.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace shorturl {
namespace {

TEST(JsonDocument, StartsAsTheEmptyObject) {
  JsonDocument doc;
  EXPECT_EQ(doc.GetWholeText(), "{}");
  EXPECT_EQ(doc.GetValueType(), 4);
  EXPECT_NE(doc.GetEngine(), nullptr);
}

TEST(JsonDocument, ParseTakesOneLineLiteralsAndRefusesTheRest) {
  struct Case {
    const char* text;
    bool parsed;
    const char* whole;  // GetWholeText afterwards
  } cases[] = {
      {"", false, "null"},
      {"null", false, "null"},
      {"{\"a\":}", false, "null"},
      {"{\"a\":1,\r\n\"b\":2}", false, "null"},  // line breaks between tokens
      {"{\n\"a\":1}", false, "null"},
      {"{\"a\":1,\"b\":2}", true, R"({"a":1,"b":2})"},
      {"{'a':'x', b: \"y\"}", true, R"({"a":"x","b":"y"})"},
      {R"({"u":"http:\/\/t.cn\/ab"})", true, R"({"u":"http://t.cn/ab"})"},
      {"[1,2,3]", true, "[1,2,3]"},
      {"false", true, "false"},
      {"-0.5", true, "-0.5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    JsonDocument doc;
    EXPECT_EQ(doc.Parse(c.text), c.parsed);
    EXPECT_EQ(doc.GetWholeText(), c.whole);
    if (!c.parsed) {
      EXPECT_EQ(doc.GetValueType(), 0);
    }
  }
}

TEST(JsonDocument, ARawLineBreakInsideAStringIsKept) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse("{\"t\":\"one\r\ntwo\"}"));
  EXPECT_EQ(doc.GetText("t"), "one\r\ntwo");
}

TEST(JsonDocument, ParseRunsNoScriptFromTheText) {
  // Each of these would give true, or hang, if evaluated as script.
  const char* attacks[] = {
      "(function(){while(1){}})()",
      "1);while(1){}(1",
      "{\"a\":1}); str_Code = 'x'; ({\"b\":2}",
      "{get a(){while(1){}}}",
      "[1].concat([2])",
      "'while(1){}'",
      "\"1\"",
  };
  for (const char* text : attacks) {
    SCOPED_TRACE(text);
    JsonDocument doc;
    EXPECT_FALSE(doc.Parse(text));
    EXPECT_EQ(doc.GetWholeText(), "null");
  }
}

TEST(JsonDocument, EveryParseStartsInAFreshEngine) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"a":1})"));
  ASSERT_TRUE(doc.SetByExpression("b", "2"));
  auto first_engine = doc.GetEngine();
  ASSERT_TRUE(doc.Parse(R"({"c":3})"));
  EXPECT_NE(doc.GetEngine(), first_engine);
  EXPECT_EQ(doc.GetWholeText(), R"({"c":3})");
  EXPECT_FALSE(doc.Parse("nothing"));
  EXPECT_EQ(doc.GetValueType("c"), -1);  // da is null now
}

TEST(JsonDocument, ResolvePathRewritesIntoTheVariable) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"code":200,"data":{"short_url":"x"},"list":[7],"nil":null})"));
  struct Case {
    const char* path;
    const char* rewritten;
    bool found;
  } cases[] = {
      {"code", "da.code", true},
      {"da.code", "da.code", true},
      {"[0]", "da[0]", false},
      {"", "da", true},
      {"data['short_url']", "da.data['short_url']", true},
      {"list[0]", "da.list[0]", true},
      {"missing", "da.missing", false},
      {"da.nil", "da.da.nil", false},
      {"d", "da.d", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Text path = c.path;
    EXPECT_EQ(doc.ResolvePath(path), c.found);
    EXPECT_EQ(path, c.rewritten);
  }
}

TEST(JsonDocument, TypeCodes) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"code":200,"s":"x","b":true,"n":null,"o":{},"a":[1]})"));
  ASSERT_TRUE(doc.SetByExpression("d", "new Date(0)"));
  ASSERT_TRUE(doc.SetByExpression("f", "function(){}"));
  struct Case {
    const char* path;
    int type;
  } cases[] = {
      {"code", 2}, {"s", 6},  {"b", 1},       {"n", 0},          {"o", 4},
      {"a", 5},    {"", 4},   {"missing", 0}, {"missing.x", -1}, {"n.x", -1},
      {"d", -1},   {"f", -1}, {"a[0]", 2},    {"a[5]", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(doc.GetValueType(c.path), c.type);
  }
}

TEST(JsonDocument, TextOfANumberIsEmptyButItsJsonIsTheNumber) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"code":200,"s":"a\\b"})"));
  EXPECT_EQ(doc.GetText("code"), "");
  EXPECT_EQ(doc.GetText("code", true), "200");
  EXPECT_EQ(doc.GetPathJson("code"), "200");
  EXPECT_EQ(doc.GetNumber("code"), 200);
  // A backslash that came in by Parse is an ordinary backslash.
  EXPECT_EQ(doc.GetText("s"), "a\\b");
  EXPECT_EQ(doc.GetText("s", true), R"("a\\b")");
  EXPECT_EQ(doc.GetText("missing", true), "");
}

TEST(JsonDocument, SetPropertyKeepsTextByteForByte) {
  const Text texts[] = {
      "C:\\dir\\", "it's \"quoted\"", "two\r\nlines", "中文\\末"_gbk, "\\\\'", "",
      "\x81\\'",  // not GBK: reaches the engine as "?" and cannot end the string early
  };
  for (const Text& text : texts) {
    SCOPED_TRACE(text);
    JsonDocument doc;
    doc.SetProperty("t", text);
    Text expected = TextFromUtf16(Utf16FromText(text));
    EXPECT_EQ(doc.GetText("t"), expected);
    EXPECT_EQ(doc.GetValueType("t"), 6);
  }
  JsonDocument doc;
  doc.SetProperty("p", "C:\\dir");
  EXPECT_EQ(doc.GetWholeText(), R"({"p":"C:\dir"})");  // one backslash, unescaped
  // The truth result is the stored string read as a truth value.
  EXPECT_FALSE(doc.SetProperty("p", "abc"));
  EXPECT_TRUE(doc.SetProperty("p", "1"));
}

TEST(JsonDocument, SetPropertyInJsonFormMergesIntoAnObject) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"o":{"t":"old","n":{"x":1,"y":"keep"}}})"));
  EXPECT_TRUE(doc.SetProperty("o", R"({"t":"new","n":{"x2":2,"y":"changed"},"flag":true})", true));
  EXPECT_EQ(doc.GetPathJson("o"), R"({"t":"new","n":{"x":1,"y":"changed","x2":2},"flag":true})");
  // A new member is assigned.
  EXPECT_TRUE(doc.SetProperty("fresh", "[1,2]", true));
  EXPECT_EQ(doc.GetPathJson("fresh"), "[1,2]");
  // Merging onto a number member fails after the members before it.
  EXPECT_FALSE(doc.SetProperty("o", R"({"t":"newer","n":{"x":5}})", true));
  EXPECT_EQ(doc.GetText("o.t"), "newer");
}

TEST(JsonDocument, PushValue) {
  JsonDocument doc;
  EXPECT_TRUE(doc.PushValue("a", "list"));  // no array yet: made first
  EXPECT_TRUE(doc.PushValue("{\"k\":1}", "list", true));
  EXPECT_EQ(doc.GetPathJson("list"), R"(["a",{"k":1}])");
  const char* refused[] = {"it's", "a', 'b", "two\nlines", "cr\r"};
  for (const char* value : refused) {
    SCOPED_TRACE(value);
    EXPECT_FALSE(doc.PushValue(value, "list"));
    EXPECT_FALSE(doc.SetElement(0, "list", value));
  }
  EXPECT_EQ(doc.GetPathJson("list"), R"(["a",{"k":1}])");
  EXPECT_FALSE(doc.SetElement(0, "list", "b"));  // "b" is no truth value, yet it is set
  EXPECT_EQ(doc.GetElementText(0, "list"), "b");
  EXPECT_EQ(doc.GetElementText(1, "list", true), R"({"k":1})");
}

TEST(JsonDocument, CountsAndMemberNames) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"arr":[1,2,3],"obj":{"a":1,"b":"x"},"empty":{},"s":"t"})"));
  struct Case {
    const char* path;
    int count;
    std::vector<Text> names;
  } cases[] = {
      {"arr", 3, {}}, {"obj", 0, {"a", "b"}}, {"empty", 0, {}},
      {"s", 0, {}},   {"missing", 0, {}},     {"", 0, {"arr", "obj", "empty", "s"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(doc.GetCount(c.path), c.count);
    std::vector<Text> names = {"stale"};
    EXPECT_EQ(doc.GetMemberNames(names, c.path), static_cast<int>(c.names.size()));
    EXPECT_EQ(names, c.names);
  }
}

TEST(JsonDocument, ElementsAndMembersAreRemoved) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"arr":["a","b","c"],"x":1})"));
  EXPECT_TRUE(doc.RemoveElement(1, "arr"));
  EXPECT_EQ(doc.GetPathJson("arr"), R"(["a","c"])");
  EXPECT_FALSE(doc.RemoveElement(0, "x"));
  EXPECT_TRUE(doc.DeleteProperty("x"));
  EXPECT_EQ(doc.GetWholeText(), R"({"arr":["a","c"]})");
  EXPECT_TRUE(doc.Clear());
  EXPECT_EQ(doc.GetWholeText(), "{}");
}

TEST(JsonDocument, NumbersAreWrittenWithThirteenDigits) {
  JsonDocument doc;
  EXPECT_TRUE(doc.SetNumber("n", 1.0 / 3));
  EXPECT_EQ(doc.GetPathJson("n"), "0.3333333333333");
  EXPECT_EQ(doc.GetNumber("n"), 0.3333333333333);
  EXPECT_TRUE(doc.SetNumber("big", 1e300));
  EXPECT_EQ(doc.GetNumber("big"), 1e300);
  EXPECT_FALSE(doc.SetNumber("z", 0));  // 0 is false as a truth value
  EXPECT_EQ(doc.GetValueType("z"), 2);
}

TEST(JsonDocument, CopiesShareTheEngineSubDocumentsDoNot) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"o":{"v":1},"arr":[{"e":1}]})"));
  JsonDocument copy = doc.Copy();
  JsonDocument sub = doc.GetPropertyDocument("o");
  JsonDocument element = doc.GetElementDocument(0, "arr");
  EXPECT_EQ(copy.GetEngine(), doc.GetEngine());
  EXPECT_NE(sub.GetEngine(), doc.GetEngine());
  EXPECT_EQ(sub.GetWholeText(), R"({"v":1})");
  EXPECT_EQ(element.GetWholeText(), R"({"e":1})");

  ASSERT_TRUE(copy.SetNumber("o.v", 2));
  EXPECT_EQ(doc.GetPathJson("o"), R"({"v":2})");
  EXPECT_EQ(sub.GetWholeText(), R"({"v":1})");
  ASSERT_TRUE(sub.SetNumber("v", 3));
  EXPECT_EQ(doc.GetPathJson("o"), R"({"v":2})");

  // No value has no JSON text; a string's JSON text is a string alone, which
  // Parse refuses. Both documents hold null.
  EXPECT_EQ(doc.GetPropertyDocument("missing").GetWholeText(), "null");
  ASSERT_TRUE(doc.SetProperty("s", "1"));
  EXPECT_EQ(doc.GetPropertyDocument("s").GetWholeText(), "null");
}

TEST(JsonDocument, ScriptErrorsLeaveTheDocumentUsable) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"a":1})"));
  EXPECT_FALSE(doc.SetByExpression("b", "(function(){ while (true) {} })()"));
  EXPECT_FALSE(doc.SetByExpression("c", "syntax error here"));
  EXPECT_EQ(doc.GetText("a.b.c", true), "");
  EXPECT_EQ(doc.GetNumber("nope()"), 0);
  EXPECT_EQ(doc.GetWholeText(), R"({"a":1})");
}

}  // namespace
}  // namespace shorturl
