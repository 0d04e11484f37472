#include "desktop/clipboard_writer.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>

#include <atomic>
#include <thread>

#include "support/process.h"
#include "text/codepage.h"

namespace shorturl {
namespace {

// Reads the clipboard the way another program does. xclip waits for the
// owner's answer, so this thread keeps dispatching events meanwhile.
std::string OtherProgramReads() {
  std::atomic<bool> done = false;
  testing::ClipboardRead read;
  std::thread reader([&] {
    read = testing::ReadClipboard();
    done = true;
  });
  testing::WaitFor(
      [&] {
        QApplication::processEvents();
        return done.load();
      },
      10000);
  reader.join();
  return read.text;
}

TEST(SetClipboardText, OtherProgramsReadTheTextAsUtf8) {
  struct Case {
    const char* name;
    Text text;
    std::string seen;
  } cases[] = {
      {"ascii", "http://dl.test/abc", "http://dl.test/abc"},
      {"chinese", "网址缩短》原网址："_gbk, "网址缩短》原网址："},
      {"empty replaces the old content", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetClipboardText("old content");
    SetClipboardText(c.text);
    EXPECT_EQ(OtherProgramReads(), c.seen);
  }
}

}  // namespace
}  // namespace shorturl
