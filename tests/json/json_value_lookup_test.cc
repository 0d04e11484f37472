#include "json/json_value_lookup.h"

#include <gtest/gtest.h>

#include <chrono>

#include "text/codepage.h"

namespace shorturl {
namespace {

const Text kFailed = "JSON解析失败"_gbk;

TEST(GetJsonValue, ReadsWhatTheAnswerHolds) {
  struct Case {
    Text answer;
    const char* path;
    Text expected;
  } cases[] = {
      {R"({"code":200,"data":{"short_url":"http://t.cn/a"}})", "code", "200"},
      {R"({"code":"200"})", "code", "200"},
      {R"({"code":200,"data":{"short_url":"http://t.cn/a"}})", "data['short_url']",
       "http://t.cn/a"},
      {R"({"code":200,"data":{"short_url":"http:\/\/t.cn\/a"}})", "data['short_url']",
       "http://t.cn/a"},
      {R"({"code":500,"data":null})", "data['short_url']", ""},
      {R"({"code":500})", "data['short_url']", ""},
      {R"({"code":500,"data":{"short_url":null}})", "data['short_url']", "null"},
      {R"({"code":500,"data":{}})", "data['short_url']", ""},
      {R"({"ok":true,"no":false})", "ok", "true"},
      {R"({"ok":true,"no":false})", "no", "false"},
      {R"({"data":{"b":[1,"x"],"a":{}}})", "data", R"({"b":[1,"x"],"a":{}})"},
      {R"({"n":-1.5e3})", "n", "-1500"},
      {"[]", "code", ""},
      {"[5]", "[0]", "5"},
      {"{'code': 200, data: {short_url: 'x'}}", "data['short_url']", "x"},
      {"{\r\n  \"code\": 200,\r\n  \"msg\": \"a\r\nb\"\r\n}", "code", "200"},
      {"{\"msg\": \"a\r\nb\"}", "msg", "ab"},     // raw break removed
      {R"({"msg": "a\r\nb"})", "msg", "a\r\nb"},  // escaped break kept
      {R"({"u":"\u4e2d\u6587"})", "u", "中文"_gbk},
      {R"({"u":"a\u0e01b\ud83d\ude00"})", "u", "a?b?"},  // not in GBK
      {R"({"u":"中文"})"_gbk, "u", "中文"_gbk},
      {R"({"u":"a\u2400b"})", "u", "a\\b"},
      {"", "code", kFailed},
      {"null", "code", kFailed},
      {"<html><body>502 Bad Gateway</body></html>", "code", kFailed},
      {"(function(){while(1){}})()", "code", kFailed},
      {"1);while(1){}(1", "code", kFailed},
      {"{get code(){while(1){}}}", "code", kFailed},
      {"{\"code\":eval('200')}", "code", kFailed},
      {"{\"code\":\xFF\x5C\"}", "code", kFailed},  // bytes that are not GBK
      {"{\"u\":\"\xFF\"}", "u", "?"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.answer + " / " + c.path);
    EXPECT_EQ(GetJsonValue(c.answer, c.path), c.expected);
  }
}

TEST(GetJsonValue, RemovesLineBreaksFromTheCallersText) {
  Text answer = "{\r\n\"code\":200,\n\"data\":null}\r\n";
  EXPECT_EQ(GetJsonValue(answer, "code"), "200");
  EXPECT_EQ(answer, R"({"code":200,"data":null})");
  Text broken = "not\r\njson";
  EXPECT_EQ(GetJsonValue(broken, "code"), kFailed);
  EXPECT_EQ(broken, "notjson");
}

TEST(GetJsonValue, ALargeAnswerIsRead) {
  Text answer = R"({"code":200,"data":{"short_url":"x","items":[)";
  while (answer.size() < 10'000'000) answer += R"({"k":"value value value","n":12345},)";
  answer += "0]}}";
  // Slow enough in an instrumented build to pass the one second that other
  // scripts get: literal data has a longer limit.
  EXPECT_EQ(GetJsonValue(answer, "data['short_url']"), "x");
}

TEST(GetJsonValue, DeepNestingIsRefusedNotACrash) {
  Text answer(100000, '[');
  answer += Text(100000, ']');
  EXPECT_EQ(GetJsonValue(answer, "code"), kFailed);
  Text within = Text(900, '[') + Text(900, ']');
  EXPECT_EQ(GetJsonValue(within, "code"), "");
}

}  // namespace
}  // namespace shorturl
