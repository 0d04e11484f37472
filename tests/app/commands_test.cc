// The shorten and restore commands in-process: the real window, real HTTP to
// a scripted loopback server, the real script engine, the real run log
// beside the test program, and the clipboard. Notices are recorded by the
// message-box test hook instead of being shown.
#include "app/commands.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include "app/program.h"
#include "desktop/clock.h"
#include "platform/message_box.h"
#include "platform/window_system.h"
#include "support/process.h"
#include "support/scripted_http_server.h"
#include "text/codepage.h"

namespace shorturl {
namespace {

using testing::ScriptedAnswer;

const std::string kLogPath = std::filesystem::path(SHORTURL_BINARY_DIR) / "tests/app/运行日志.txt";

ScriptedAnswer Json(const std::string& body) {
  return ScriptedAnswer::Http(200, {"Content-Type: application/json"}, body);
}

// The body of the request as it arrived on the wire.
std::string BodyOf(const std::string& request) {
  std::size_t end = request.find("\r\n\r\n");
  return end == std::string::npos ? "" : request.substr(end + 4);
}

class CommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove(kLogPath);
    EncodedLongUrl.clear();
    LinkTypeText.clear();
    commands_.Bind();
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  }
  void TearDown() override { std::filesystem::remove(kLogPath); }

  Text Box(QLineEdit* box) { return window_.ReadControlText(box); }
  Text Clipboard() { return TextFromQString(QGuiApplication::clipboard()->text()); }
  std::string Log() { return testing::ReadFile(kLogPath); }

  void Shorten(const Text& long_url) {
    window_.WriteControlText(window_.原网址内容, long_url);
    QTest::mouseClick(window_.生成, Qt::LeftButton);
  }
  void Restore(const Text& short_url) {
    window_.WriteControlText(window_.短网址还原1, short_url);
    QTest::mouseClick(window_.按钮1, Qt::LeftButton);
  }

  testing::ScriptedHttpServer server_;
  ScriptedMessageBoxes boxes_;
  ScopedClock clock_{[] { return LocalDateTime{2021, 3, 5, 9, 7, 4}; }};
  MainWindow window_;
  Commands commands_{window_, "127.0.0.1:" + std::to_string(server_.port())};
};

TEST_F(CommandsTest, ShortenSucceeds) {
  server_.Queue(Json(R"({"code":200,"msg":"ok","data":{"short_url":"http://dl.test/Ab9xYz"}})"));
  Shorten("http://server/x");

  ASSERT_EQ(server_.Requests().size(), 1u);
  const std::string request = server_.Requests()[0];
  EXPECT_EQ(request.substr(0, request.find("\r\n")), "POST /api/url HTTP/1.1");
  EXPECT_NE(request.find("\r\nUser-Agent: KOVEX-ShortUrl-APP\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"),
            std::string::npos);
  EXPECT_EQ(BodyOf(request), "url=http%3A%2F%2Fserver%2Fx&type=1");

  EXPECT_EQ(Box(window_.短网址内容), "http://dl.test/Ab9xYz");
  EXPECT_EQ(Clipboard(), "http://dl.test/Ab9xYz");
  EXPECT_EQ(
      Log(),
      "2021年3月5日9时7分4秒   网址缩短》原网址：http://server/x----短网址：http://dl.test/Ab9xYz\r\n"_gbk);
  EXPECT_EQ(EncodedLongUrl, "http%3A%2F%2Fserver%2Fx");
  EXPECT_EQ(LinkTypeText, "1");
  EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(CommandsTest, ShortenSendsTheWholeTextEncodedWithTheSelectedType) {
  struct Case {
    const char* name;
    Text box;
    QRadioButton* MainWindow::*radio;
    std::string body;
  } cases[] = {
      {"type 3", "http://server/x", &MainWindow::单选框3, "url=http%3A%2F%2Fserver%2Fx&type=3"},
      {"type 8", "ftp://a", &MainWindow::单选框8, "url=ftp%3A%2F%2Fa&type=8"},
      {"words around the address", "see http://server/x now", &MainWindow::单选框1,
       "url=see%20http%3A%2F%2Fserver%2Fx%20now&type=1"},
      {"GBK bytes", "http://例子.test"_gbk, &MainWindow::单选框5,
       "url=http%3A%2F%2F%C0%FD%D7%D3%2Etest&type=5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    (window_.*c.radio)->setChecked(true);
    std::size_t before = server_.Requests().size();
    Shorten(c.box);
    ASSERT_EQ(server_.Requests().size(), before + 1);
    EXPECT_EQ(BodyOf(server_.Requests().back()), c.body);
  }
}

TEST_F(CommandsTest, ShortenRefusesBadInputWithANoticeAndSendsNothing) {
  struct Case {
    Text box;
    Text notice;
  } cases[] = {
      {"", "请输入原网址"_gbk},
      {"   ", "网址错误，网址需要加上 http:// 或者 https://"_gbk},
      {"server/x", "网址错误，网址需要加上 http:// 或者 https://"_gbk},
      {"://server", "网址错误，网址需要加上 http:// 或者 https://"_gbk},
  };
  window_.WriteControlText(window_.短网址内容, "unchanged");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box);
    std::size_t shown = boxes_.shown().size();
    Shorten(c.box);
    ASSERT_EQ(boxes_.shown().size(), shown + 1);
    const MessageBoxRecord& box = boxes_.shown().back();
    EXPECT_EQ(box.message, c.notice);
    EXPECT_EQ(box.caption, "提醒"_gbk);
    EXPECT_EQ(box.style, 0);
    EXPECT_EQ(box.milliseconds, 5000);
    EXPECT_EQ(box.owner, static_cast<WindowHandle>(window_.winId()));
  }
  EXPECT_TRUE(server_.Requests().empty());
  EXPECT_EQ(Box(window_.短网址内容), "unchanged");
  EXPECT_EQ(Clipboard(), "before");
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(EncodedLongUrl, "");
  EXPECT_EQ(LinkTypeText, "");
}

// Every answer that is not a success leaves the failure text in the box,
// no log line and the clipboard as it was.
TEST_F(CommandsTest, AnswersThatFailAndAnswersThatSucceed) {
  struct Case {
    const char* name;
    std::string answer;
    bool succeeds;
    Text short_url;  // when it succeeds
  } cases[] = {
      {"code as a string", R"({"code":"200","data":{"short_url":"s1"}})", true, "s1"},
      {"code 200.7", R"({"code":200.7,"data":{"short_url":"s2"}})", true, "s2"},
      {"answer on several lines", "{\r\n \"code\": 200,\n \"data\": {\"short_url\": \"s3\"}\n}",
       true, "s3"},
      {"empty short link", R"({"code":200,"data":{"short_url":""}})", true, ""},
      {"missing short link", R"({"code":200,"data":{}})", true, ""},
      {"data null", R"({"code":200,"data":null})", true, ""},
      {"missing data", R"({"code":200})", true, ""},
      {"escaped slashes", R"({"code":200,"data":{"short_url":"http:\/\/dl.test\/a"}})", true,
       "http://dl.test/a"},
      {"code 199.99", R"({"code":199.99,"data":{"short_url":"x"}})", false, ""},
      {"code 201", R"({"code":201,"data":{"short_url":"x"}})", false, ""},
      {"code abc", R"({"code":"abc","data":{"short_url":"x"}})", false, ""},
      {"missing code", R"({"data":{"short_url":"x"}})", false, ""},
      {"short link null", R"({"code":200,"data":{"short_url":null}})", false, ""},
      {"HTML error page", "<html><body>502 Bad Gateway</body></html>", false, ""},
      {"empty answer", "", false, ""},
      {"script in the answer", "1);while(1){}(1", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(kLogPath);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    window_.WriteControlText(window_.短网址内容, "old");
    server_.Queue(Json(c.answer));
    Shorten("http://server/x");
    if (c.succeeds) {
      EXPECT_EQ(Box(window_.短网址内容), c.short_url);
      EXPECT_EQ(Clipboard(), c.short_url);
      EXPECT_EQ(Log(), "2021年3月5日9时7分4秒   网址缩短》原网址：http://server/x----短网址："_gbk +
                           c.short_url + "\r\n");
    } else {
      EXPECT_EQ(Box(window_.短网址内容), "生成失败"_gbk);
      EXPECT_EQ(Clipboard(), "before");
      EXPECT_EQ(Log(), "");
    }
    EXPECT_EQ(EncodedLongUrl, "http%3A%2F%2Fserver%2Fx");
  }
}

TEST_F(CommandsTest, UnreachableServerFailsBothCommands) {
  Commands offline(window_, "127.0.0.1:1");
  window_.WriteControlText(window_.原网址内容, "http://server/x");
  offline.ShortenCommand();
  EXPECT_EQ(Box(window_.短网址内容), "生成失败"_gbk);
  window_.WriteControlText(window_.短网址还原1, "http://dl.test/a");
  offline.RestoreCommand();
  EXPECT_EQ(Box(window_.短网址还原2), "还原失败"_gbk);
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(Clipboard(), "before");
}

TEST_F(CommandsTest, RestoreSendsTheBoxUnencodedAndTakesTheAnswerAsItComes) {
  struct Case {
    const char* name;
    Text box;
    std::string answer;
    std::string body;
    bool succeeds;
    Text long_url;
  } cases[] = {
      {"success", "http://server/abc", R"({"code":200,"data":{"long_url":"http://long/x?a=1"}})",
       "url=http://server/abc", true, "http://long/x?a=1"},
      {"characters sent unchanged", "a b&c=d%", R"({"code":"200","data":{"long_url":"L"}})",
       "url=a b&c=d%", true, "L"},
      {"empty box is sent", "", R"({"code":404,"msg":"not found"})", "url=", false, ""},
      {"long_url null is taken", "s", R"({"code":200,"data":{"long_url":null}})", "url=s", true,
       "null"},
      {"long_url empty", "s", R"({"code":200,"data":{"long_url":""}})", "url=s", true, ""},
      {"data null", "s", R"({"code":200,"data":null})", "url=s", true, ""},
      {"Chinese long address", "s", R"({"code":200,"data":{"long_url":"http://\u4f8b.test/"}})",
       "url=s", true, "http://例.test/"_gbk},
      {"code 404", "s", R"({"code":404,"data":{"long_url":"x"}})", "url=s", false, ""},
      {"not JSON", "s", "Internal Server Error", "url=s", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(kLogPath);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    server_.Queue(Json(c.answer));
    std::size_t before = server_.Requests().size();
    Restore(c.box);
    ASSERT_EQ(server_.Requests().size(), before + 1);
    const std::string request = server_.Requests().back();
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "POST /api/url/query HTTP/1.1");
    EXPECT_EQ(BodyOf(request), c.body);
    if (c.succeeds) {
      EXPECT_EQ(Box(window_.短网址还原2), c.long_url);
      EXPECT_EQ(Clipboard(), c.long_url);
      EXPECT_EQ(Log(), "2021年3月5日9时7分4秒   网址还原》短网址："_gbk + c.box +
                           "----原网址："_gbk + c.long_url + "\r\n");
    } else {
      EXPECT_EQ(Box(window_.短网址还原2), "还原失败"_gbk);
      EXPECT_EQ(Clipboard(), "before");
      EXPECT_EQ(Log(), "");
    }
  }
  EXPECT_TRUE(boxes_.shown().empty());
}

// A click while an answer is slow runs a whole nested command inside the
// waiting one; the outer one writes its result last, and its log line names
// what it sent.
TEST_F(CommandsTest, SecondClickDuringASlowAnswerRunsNested) {
  server_.Queue(ScriptedAnswer::Chunked(
      200, {}, {R"({"code":200,"data":)", R"({"long_url":"http://outer/"}})"}, 400));
  server_.Queue(Json(R"({"code":200,"data":{"long_url":"http://inner/"}})"));
  QTimer::singleShot(150, [&] {
    window_.WriteControlText(window_.短网址还原1, "inner-link");
    QTest::mouseClick(window_.按钮1, Qt::LeftButton);
  });
  Restore("outer-link");
  EXPECT_EQ(Box(window_.短网址还原2), "http://outer/");
  EXPECT_EQ(Clipboard(), "http://outer/");
  EXPECT_EQ(
      Log(),
      "2021年3月5日9时7分4秒   网址还原》短网址：outer-link----原网址：http://outer/\r\n"
      "2021年3月5日9时7分4秒   网址还原》短网址：inner-link----原网址：http://inner/\r\n"_gbk);
}

TEST_F(CommandsTest, ShortenLogsTheBoxAsItIsWhenTheAnswerArrives) {
  server_.Queue(ScriptedAnswer::Chunked(
      200, {}, {R"({"code":200,"data":)", R"({"short_url":"http://dl.test/s"}})"}, 300));
  QTimer::singleShot(100, [&] { window_.WriteControlText(window_.原网址内容, "changed"); });
  Shorten("http://server/x");
  EXPECT_EQ(BodyOf(server_.Requests()[0]), "url=http%3A%2F%2Fserver%2Fx&type=1");
  EXPECT_EQ(
      Log(),
      "2021年3月5日9时7分4秒   网址缩短》原网址：changed----短网址：http://dl.test/s\r\n"_gbk);
}

TEST_F(CommandsTest, SelectedLinkTypeFollowsTheRadioButtons) {
  QRadioButton* radios[] = {window_.单选框1, window_.单选框2, window_.单选框3, window_.单选框4,
                            window_.单选框5, window_.单选框6, window_.单选框7, window_.单选框8};
  for (int type = 1; type <= 8; ++type) {
    radios[type - 1]->setChecked(true);
    EXPECT_EQ(commands_.SelectedLinkType(), type);
  }
}

}  // namespace
}  // namespace shorturl
