#include "platform/script_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "text/codepage.h"

namespace shorturl {
namespace {

std::shared_ptr<ScriptControl> JavaScript() {
  auto engine = ScriptControl::Create();
  EXPECT_NE(engine, nullptr);
  EXPECT_TRUE(engine->SetLanguage("JavaScript"));
  return engine;
}

TEST(ScriptControl, EvalGivesTheCompletionValue) {
  using Kind = ScriptValue::Kind;
  struct Case {
    const char* code;
    Kind kind;
    const char* text;
  } cases[] = {
      {"1 + 1", Kind::kNumber, "2"},
      {"0.1 * 3", Kind::kNumber, "0.30000000000000004"},
      {"1e21", Kind::kNumber, "1e+21"},
      {"'abc'", Kind::kString, "abc"},
      {"var x = 1", Kind::kUndefined, ""},
      {"if (true) { 'then' } else { 'else' }", Kind::kString, "then"},
      {"null", Kind::kNull, ""},
      {"1 < 2", Kind::kBoolean, "true"},
      {"({a: 1})", Kind::kObject, ""},
      {"[1, 2]", Kind::kObject, ""},
  };
  auto engine = JavaScript();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ScriptValue v = engine->Eval(c.code);
    EXPECT_EQ(v.kind(), c.kind);
    EXPECT_EQ(v.ToText(), c.text);
  }
}

TEST(ScriptControl, DeclarationsLastAcrossCalls) {
  auto engine = JavaScript();
  ASSERT_TRUE(engine->AddCode("function twice(n){return n*2} var base = 20"));
  ASSERT_FALSE(engine->Eval("var more = 1").failed());
  EXPECT_EQ(engine->Eval("twice(base) + more").ToNumber(), 41);
  // Engines share nothing.
  EXPECT_TRUE(JavaScript()->Eval("base").failed());
}

TEST(ScriptControl, AScriptErrorFailsOnlyThatCall) {
  auto engine = JavaScript();
  EXPECT_FALSE(engine->AddCode("function ("));
  EXPECT_TRUE(engine->Eval("counter = 5; notDeclared()").failed());
  EXPECT_TRUE(engine->Eval("null.member").failed());
  EXPECT_TRUE(engine->Eval("throw 'x'").failed());
  // What ran before the error stays.
  EXPECT_EQ(engine->Eval("counter").ToNumber(), 5);
}

TEST(ScriptControl, NothingRunsBeforeTheLanguageIsChosen) {
  auto engine = ScriptControl::Create();
  ASSERT_NE(engine, nullptr);
  EXPECT_TRUE(engine->Eval("1").failed());
  EXPECT_FALSE(engine->AddCode("var a = 1"));
  EXPECT_FALSE(engine->SetLanguage("VBScript"));
  EXPECT_TRUE(engine->Eval("1").failed());
  EXPECT_TRUE(engine->SetLanguage("javascript"));
  EXPECT_EQ(engine->Eval("1").ToNumber(), 1);
}

TEST(ScriptControl, AnEndlessScriptIsStoppedAndTheEngineStaysUsable) {
  auto engine = JavaScript();
  EXPECT_TRUE(engine->Eval("while (true) {}").failed());
  // Catching the time-out does not save a script: the check fires again.
  EXPECT_FALSE(engine->AddCode("for (;;) { try { while (true) {} } catch (e) {} }"));
  EXPECT_EQ(engine->Eval("6 * 7").ToNumber(), 42);
}

TEST(ScriptControl, ALongerTimeLimitHoldsForThatCallOnly) {
  auto engine = JavaScript();
  const char* slow = "var t = Date.now(); while (Date.now() - t < 1300) {} var done = true";
  EXPECT_TRUE(engine->AddCode(slow, std::chrono::milliseconds(5000)));
  EXPECT_TRUE(engine->Eval("done").ToBool());
  EXPECT_TRUE(engine->Eval("while (true) {}").failed());
}

// Shared code runs once compiled here and, from then on, loaded: each engine
// must see the same globals as AddCode would give it, and nothing of another.
TEST(ScriptControl, SharedCodeActsInEachEngineAsAddCode) {
  const char* code =
      "var runs = (typeof runs == 'undefined' ? 0 : runs) + 1; function twice(n){return n*2}"
      "Object.prototype.marked = function(){return 'm'};";
  for (int engine_number = 1; engine_number <= 3; ++engine_number) {
    SCOPED_TRACE(engine_number);
    auto engine = JavaScript();
    ASSERT_TRUE(engine->AddSharedCode(code));
    EXPECT_EQ(engine->Eval("runs + ':' + twice(21) + ':' + ({}).marked()").ToText(), "1:42:m");
    EXPECT_TRUE(engine->AddSharedCode(code));
    EXPECT_EQ(engine->Eval("runs").ToNumber(), 2);
  }
  auto engine = JavaScript();
  EXPECT_FALSE(engine->AddSharedCode("function ("));
  EXPECT_FALSE(engine->AddSharedCode("function ("));
  EXPECT_FALSE(engine->AddSharedCode("throw 'x'"));
  EXPECT_FALSE(engine->AddSharedCode("throw 'x'"));
  EXPECT_FALSE(ScriptControl::Create()->AddSharedCode(code));  // no language chosen
  EXPECT_EQ(engine->Eval("6 * 7").ToNumber(), 42);
}

TEST(ScriptControl, TextCrossesThroughTheCodePage) {
  auto engine = JavaScript();
  EXPECT_EQ(engine->Eval("'中文' + '\\u00e9'"_gbk).ToText(), "中文é"_gbk);
  EXPECT_EQ(engine->Eval("'中文'.length"_gbk).ToNumber(), 2);
  EXPECT_EQ(engine->Eval("'a\\u0e01b'").ToText(), "a?b");         // Thai: not in GBK
  EXPECT_EQ(engine->Eval("'a\\ud83d\\ude00b'").ToText(), "a?b");  // one pair, one "?"
  EXPECT_EQ(engine->Eval("'ab\\u0000cd'").ToText(), "ab");        // ends at the NUL
  EXPECT_EQ(engine->Eval("'\xFF'").ToText(), "?");                // not GBK on the way in
}

TEST(ScriptControl, ValuesReadAsTruthValuesAndNumbers) {
  struct Case {
    const char* code;
    bool truth;
    double number;
  } cases[] = {
      {"true", true, 1},   {"false", false, 0},   {"2.5", true, 2.5},   {"0", false, 0},
      {"'TRUE'", true, 0}, {"'false'", false, 0}, {"'12'", true, 12},   {"'0'", false, 0},
      {"'abc'", false, 0}, {"''", false, 0},      {"null", false, 0},   {"undefined", false, 0},
      {"({})", true, 0},   {"[]", true, 0},       {"nope()", false, 0},
  };
  auto engine = JavaScript();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ScriptValue v = engine->Eval(c.code);
    EXPECT_EQ(v.ToBool(), c.truth);
    EXPECT_EQ(v.ToNumber(), c.number);
  }
  EXPECT_TRUE(engine->Eval("0/0").ToBool());  // NaN is not zero
  EXPECT_TRUE(std::isnan(engine->Eval("0/0").ToNumber()));
}

}  // namespace
}  // namespace shorturl
