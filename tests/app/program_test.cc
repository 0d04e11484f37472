// The real program on the virtual display, used as a person would: typed into
// with xdotool, clicked at the controls' places, read through the clipboard.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/process.h"

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
constexpr Spot kShortUrlBox{24 + 72 + 116, 120 + 58 + 12};   // 短网址内容
constexpr Spot kCopyShortUrl{24 + 168 + 40, 120 + 96 + 12};  // 复制
constexpr Spot kLongUrlBox{24 + 72 + 116, 256 + 64 + 12};    // 短网址还原2
constexpr Spot kCopyLongUrl{24 + 176 + 40, 256 + 96 + 12};   // 按钮2

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
    RunCommand({"xdotool", "type", "--delay", "20", text});
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

}  // namespace
}  // namespace shorturl
