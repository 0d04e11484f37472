// The real program on the virtual display, used as a person would: typed into
// with xdotool, clicked at the controls' places, read through the clipboard.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/process.h"
#include "support/scripted_http_server.h"
#include "support/server_process.h"

namespace shorturl {
namespace {

using testing::ChildProcess;
using testing::RunCommand;

const char kTitle[] = "短网址生成还原程序 - By KOVEX";

// Places of controls inside the window's client area: the group box's place
// plus the control's place inside it, then the middle of the control.
struct Spot {
  int x, y;
};
constexpr Spot kLongUrlInput{24 + 72 + 116, 120 + 24 + 12};   // 原网址内容
constexpr Spot kShorten{24 + 72 + 40, 120 + 96 + 12};         // 生成
constexpr Spot kShortUrlBox{24 + 72 + 116, 120 + 58 + 12};    // 短网址内容
constexpr Spot kShortUrlInput{24 + 72 + 116, 256 + 24 + 12};  // 短网址还原1
constexpr Spot kRestore{24 + 72 + 40, 256 + 96 + 12};         // 按钮1
constexpr Spot kCopyShortUrl{24 + 168 + 40, 120 + 96 + 12};   // 复制
constexpr Spot kLongUrlBox{24 + 72 + 116, 256 + 64 + 12};     // 短网址还原2
constexpr Spot kCopyLongUrl{24 + 176 + 40, 256 + 96 + 12};    // 按钮2

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The program writes its run log beside itself: give it a folder of its own.
    std::filesystem::copy_file(SHORTURL_BINARY_DIR "/shorturl", dir_.path() + "/shorturl");
    program_ = std::make_unique<ChildProcess>(std::vector<std::string>{dir_.path() + "/shorturl"},
                                              dir_.path());
    window_ = testing::FindWindowByTitle(kTitle, 10000);
    ASSERT_FALSE(window_.empty()) << "the window did not appear";
  }

  void Click(Spot spot) {
    RunCommand({"xdotool", "mousemove", "--window", window_, std::to_string(spot.x),
                std::to_string(spot.y), "click", "1"});
  }

  void TypeInto(Spot box, const std::string& text) {
    Click(box);
    RunCommand({SHORTURL_SOURCE_DIR "/scripts/type-text.sh", text});
  }

  // The clipboard's text once it equals `want`, or what it last held.
  std::string ClipboardBecomes(const std::string& want) {
    std::string seen;
    testing::WaitFor(
        [&] {
          seen = testing::ReadClipboard().text;
          return seen == want;
        },
        5000);
    return seen;
  }

  testing::TempDir dir_;
  std::unique_ptr<ChildProcess> program_;
  std::string window_;
};

TEST_F(ProgramTest, EscapeEndsTheProgramWithStatusZero) {
  RunCommand({"xdotool", "windowfocus", "--sync", window_});
  RunCommand({"xdotool", "key", "Escape"});
  EXPECT_EQ(program_->Wait(5000), 0);
}

TEST_F(ProgramTest, CopyButtonsPutTheBoxTextOnTheClipboard) {
  // An empty box replaces whatever the clipboard held with an empty text.
  RunCommand({"sh", "-c", "printf old | xclip -selection clipboard -loops 1 >/dev/null 2>&1 &"});
  Click(kCopyShortUrl);
  EXPECT_EQ(ClipboardBecomes(""), "");

  TypeInto(kShortUrlBox, "http://dl.test/Ab9");
  Click(kCopyShortUrl);
  EXPECT_EQ(ClipboardBecomes("http://dl.test/Ab9"), "http://dl.test/Ab9");

  TypeInto(kLongUrlBox, "http://例子.test/路径");
  Click(kCopyLongUrl);
  EXPECT_EQ(ClipboardBecomes("http://例子.test/路径"), "http://例子.test/路径");
  EXPECT_TRUE(program_->running());
}

// The port of the API address the program was built with.
int ApiPort() {
  std::string host = SHORTURL_API_HOST;
  std::size_t colon = host.rfind(':');
  return colon == std::string::npos ? 80 : std::stoi(host.substr(colon + 1));
}

TEST_F(ProgramTest, ShortenAndRestoreAsAPersonWould) {
  testing::ScriptedHttpServer server(ApiPort());
  ASSERT_NE(server.port(), 0) << "the program's API port " << ApiPort() << " is taken";
  server.Queue(testing::ScriptedAnswer::Http(
      200, {}, R"({"code":200,"msg":"ok","data":{"short_url":"http://tu.test/Q7w"}})"));
  server.Queue(testing::ScriptedAnswer::Http(
      200, {}, R"({"code":200,"msg":"ok","data":{"long_url":"http://\u4f8b\u5b50.test/a b"}})"));

  TypeInto(kLongUrlInput, "http://例子.test/a b");
  Click({23 + 161 + 6, 8 + 16 + 12});  // 单选框3
  Click(kShorten);
  EXPECT_EQ(ClipboardBecomes("http://tu.test/Q7w"), "http://tu.test/Q7w");
  ASSERT_TRUE(server.WaitForRequests(1, 1000));
  const std::string request = server.Requests()[0];
  EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4),
            "url=http%3A%2F%2F%C0%FD%D7%D3%2Etest%2Fa%20b&type=3");

  TypeInto(kShortUrlInput, "http://tu.test/Q7w");
  Click(kRestore);
  EXPECT_EQ(ClipboardBecomes("http://例子.test/a b"), "http://例子.test/a b");

  // The run log beside the program, newest line first, in GBK.
  std::string log = testing::ReadFile(dir_.path() + "/运行日志.txt");
  std::string utf8 =
      testing::RunCommand({"sh", "-c", "iconv -f GBK -t UTF-8 '" + dir_.path() + "/运行日志.txt'"})
          .out;
  EXPECT_NE(
      utf8.find("   网址还原》短网址：http://tu.test/Q7w----原网址：http://例子.test/a b\r\n"),
      std::string::npos)
      << utf8;
  EXPECT_LT(utf8.find("网址还原》"), utf8.find("网址缩短》原网址：http://例子.test/a b----短网址："
                                               "http://tu.test/Q7w\r\n"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
}

// The whole road with the real API server on the program's own address: the
// short link the program got restores to the address typed in.
TEST_F(ProgramTest, ShortenThenRestoreThroughTheRealServer) {
  testing::ServerProcess server({"--listen", SHORTURL_API_HOST, "--db", dir_.path() + "/links.db"});
  ASSERT_NE(server.port(), 0) << "the API server did not start on " << SHORTURL_API_HOST;
  const std::string long_url = "https://www.example.org/文档?q=短 网址&x=1";

  TypeInto(kLongUrlInput, long_url);
  Click(kShorten);
  std::string short_url;
  ASSERT_TRUE(testing::WaitFor(
      [&] {
        short_url = testing::ReadClipboard().text;
        return short_url.rfind("http://dl.test/", 0) == 0;
      },
      5000))
      << "clipboard: " << short_url;

  TypeInto(kShortUrlInput, short_url);
  Click(kRestore);
  EXPECT_EQ(ClipboardBecomes(long_url), long_url);
}

TEST_F(ProgramTest, EmptyBoxGetsANoticeThatClosesItself) {
  Click(kShorten);
  std::string notice = testing::FindWindowByTitle("提醒", 5000);
  ASSERT_FALSE(notice.empty()) << "no notice appeared";
  // It closes itself after five seconds.
  EXPECT_TRUE(
      testing::WaitFor([&] { return testing::FindWindowByTitle("提醒", 0).empty(); }, 8000));
  EXPECT_TRUE(program_->running());
}

}  // namespace
}  // namespace shorturl
