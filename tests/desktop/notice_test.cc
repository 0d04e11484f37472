#include "desktop/notice.h"

#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <climits>
#include <functional>
#include <memory>

#include "desktop/uptime.h"
#include "platform/message_box.h"
#include "platform/window_system.h"
#include "support/process.h"
#include "text/codepage.h"

namespace shorturl {
namespace {

using Clock = std::chrono::steady_clock;

std::int64_t OwnPid() { return static_cast<std::int64_t>(getpid()); }

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Replaces the uptime counter while it lives: each read gives `next(read)`,
// the reads counted from 0.
class FakeUptime {
 public:
  explicit FakeUptime(std::function<std::uint32_t(int)> next) : next_(std::move(next)) {
    SetUptimeCounter([this] { return next_(reads_++); });
  }
  ~FakeUptime() { SetUptimeCounter({}); }
  int reads() const { return reads_; }

 private:
  std::function<std::uint32_t(int)> next_;
  int reads_ = 0;
};

// A visible top-level window of this process, on screen when returned.
std::unique_ptr<QWidget> ShowWindow(const char* utf8_title) {
  auto window = std::make_unique<QWidget>();
  window->setWindowTitle(QString::fromUtf8(utf8_title));
  window->resize(300, 200);
  window->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  return window;
}

WindowHandle HandleOf(QWidget& window) { return static_cast<WindowHandle>(window.winId()); }

TEST(FindProcessWindow, LimitOfZeroOrBelowReturnsAtOnceWithoutLooking) {
  auto window = ShowWindow("finder window");
  for (int limit : {0, -2, INT_MIN}) {
    SCOPED_TRACE(limit);
    FakeUptime uptime([](int) { return 5000u; });
    EXPECT_EQ(FindProcessWindow(OwnPid(), std::nullopt, std::nullopt, limit), 0u);
    EXPECT_EQ(uptime.reads(), 2);  // the start and the one test before the first window
  }
}

TEST(FindProcessWindow, SearchLastsUntilTheLimitAcrossTheCountersWrap) {
  // No window of this process is visible: the search runs to its limit.
  // The counter reads start, start + limit - 1, start + limit.
  struct Case {
    const char* name;
    std::optional<int> limit;
    std::uint32_t start;
    std::uint32_t span;
  } cases[] = {
      {"left out", std::nullopt, 100, 31536000},
      {"-1", -1, 100, 31536000},
      {"-1 across the wrap", -1, 0xFFFFFF00u, 31536000},
      {"1000 across the wrap", 1000, 0xFFFFFFF0u, 1000},
      {"1000", 1000, 0, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUptime uptime([&](int read) -> std::uint32_t {
      if (read == 0) return c.start;
      return c.start + (read == 1 ? c.span - 1 : c.span);  // wraps modulo 2^32
    });
    EXPECT_EQ(FindProcessWindow(OwnPid(), std::nullopt, std::nullopt, c.limit), 0u);
    EXPECT_EQ(uptime.reads(), 3);
  }
}

TEST(FindProcessWindow, TheProcesssVisibleWindowPassesTheTitleAndClassTests) {
  auto window = ShowWindow("短网址 finder 窗口");
  // The class Qt gives the windows of this program.
  const Text kClass = "notice_test";
  struct Case {
    const char* name;
    std::optional<Text> title_part;
    std::optional<Text> class_part;
    bool found;
  } cases[] = {
      {"no tests", std::nullopt, std::nullopt, true},
      {"title part", "finder", std::nullopt, true},
      {"double-byte title part", "短网址"_gbk, std::nullopt, true},
      {"empty title part", "", std::nullopt, true},
      {"title part in another case", "FINDER", std::nullopt, false},
      {"title lacks the part", "absent", std::nullopt, false},
      {"class part", std::nullopt, "otice_t", true},
      {"whole class", std::nullopt, kClass, true},
      {"class lacks the part", std::nullopt, "absent", false},
      {"both pass", "窗口"_gbk, kClass, true},
      {"title fails, class passes", "absent", kClass, false},
      {"title passes, class fails", "finder", "absent", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<std::string_view> title_part, class_part;
    if (c.title_part) title_part = *c.title_part;
    if (c.class_part) class_part = *c.class_part;
    auto start = Clock::now();
    WindowHandle found = FindProcessWindow(OwnPid(), title_part, class_part, 20000);
    EXPECT_EQ(found, c.found ? HandleOf(*window) : 0u);
    // The window decides: a failed test ends the search, not the limit.
    EXPECT_LT(MsSince(start), 10000);
  }
}

TEST(FindProcessWindow, TheTopmostVisibleWindowOfTheProcessDecides) {
  auto lower = ShowWindow("乙 window");
  auto upper = ShowWindow("甲 window");  // mapped last: on top
  auto start = Clock::now();
  EXPECT_EQ(FindProcessWindow(OwnPid(), "乙"_gbk, std::nullopt, 20000), 0u);
  EXPECT_LT(MsSince(start), 10000);
  EXPECT_EQ(FindProcessWindow(OwnPid(), "甲"_gbk, std::nullopt, 20000), HandleOf(*upper));
  upper->hide();
  EXPECT_EQ(FindProcessWindow(OwnPid(), "乙"_gbk, std::nullopt, 20000), HandleOf(*lower));
}

TEST(FindProcessWindow, HiddenWindowsAreNeverFound) {
  QWidget hidden;
  hidden.setWindowTitle("hidden window");
  hidden.winId();  // a real window on the server, never mapped
  for (bool skip : {false, true}) {
    SCOPED_TRACE(skip);
    EXPECT_EQ(FindProcessWindow(OwnPid(), std::nullopt, std::nullopt, 200, skip), 0u);
  }
}

TEST(FindProcessWindow, FindsTheWindowOfAnotherProcess) {
  testing::ChildProcess helper({NOTICE_TEST_HELPER, "通知 helper"});
  std::string id = testing::FindWindowByTitle("通知 helper", 20000);
  ASSERT_FALSE(id.empty());
  WindowHandle expected = std::stoul(id);
  auto helper_pid = static_cast<std::int64_t>(helper.pid());
  EXPECT_EQ(FindProcessWindow(helper_pid, std::nullopt, std::nullopt, 10000), expected);
  EXPECT_EQ(FindProcessWindow(helper_pid, "通知"_gbk, "notice_test_helper", 10000), expected);
  EXPECT_EQ(FindProcessWindow(helper_pid, "absent", std::nullopt, 10000), 0u);
  // Not a window of this process.
  EXPECT_EQ(FindProcessWindow(OwnPid(), "通知"_gbk, std::nullopt, 300), 0u);
}

TEST(FindProcessWindow, EventsRunWhileItSearches) {
  QWidget late;
  late.setWindowTitle("late window");
  late.resize(200, 100);
  QTimer::singleShot(200, &late, [&] { late.show(); });
  EXPECT_EQ(FindProcessWindow(OwnPid(), std::nullopt, std::nullopt, 20000), HandleOf(late));
}

TEST(FindProcessWindow, AFruitlessSearchDoesNotSpinACore) {
  auto thread_cpu_ms = [] {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec * 1000.0 + usage.ru_utime.tv_usec / 1000.0 +
           usage.ru_stime.tv_sec * 1000.0 + usage.ru_stime.tv_usec / 1000.0;
  };
  double cpu_before = thread_cpu_ms();
  auto start = Clock::now();
  EXPECT_EQ(FindProcessWindow(OwnPid(), std::nullopt, std::nullopt, 1000), 0u);
  long long wall = MsSince(start);
  EXPECT_GE(wall, 990);  // the counter counts whole milliseconds
  EXPECT_LT(thread_cpu_ms() - cpu_before, wall * 0.5);
}

TEST(ShowNotice, LeftOutArgumentsTakeTheirDefaults) {
  auto window = ShowWindow("program window");
  ScriptedMessageBoxes boxes;
  EXPECT_EQ(ShowNotice("请输入原网址"_gbk, "提醒"_gbk), 0);
  EXPECT_EQ(ShowNotice("no title"), 0);
  ASSERT_EQ(boxes.shown().size(), 2u);
  const MessageBoxRecord& first = boxes.shown()[0];
  EXPECT_EQ(first.owner, HandleOf(*window));
  EXPECT_EQ(first.message, "请输入原网址"_gbk);
  EXPECT_EQ(first.caption, "提醒"_gbk);
  EXPECT_EQ(first.style, 0);
  EXPECT_EQ(first.milliseconds, 5000);
  EXPECT_EQ(boxes.shown()[1].caption, "友情提醒"_gbk);
}

TEST(ShowNotice, GivenArgumentsPassAsTheyAreAndTheAnswerComesBackMinusOne) {
  struct Case {
    int answer;
    int returned;
  } cases[] = {{kIdOk, 0}, {kIdCancel, 1}, {kIdContinue, 10}, {kMessageBoxTimedOut, 31999}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    ScriptedMessageBoxes boxes(c.answer);
    FakeUptime uptime([](int) { return 0u; });
    EXPECT_EQ(ShowNotice("text", 0x31, "", 0, 0), c.returned);
    EXPECT_EQ(uptime.reads(), 0);  // an owner given as 0: no search
    ASSERT_EQ(boxes.shown().size(), 1u);
    const MessageBoxRecord& box = boxes.shown()[0];
    EXPECT_EQ(box.owner, 0u);
    EXPECT_EQ(box.caption, "");
    EXPECT_EQ(box.style, 0x31);
    EXPECT_EQ(box.milliseconds, 0);
  }
}

TEST(ShowNotice, WithoutAWindowOfItsOwnTheBoxGetsNoOwnerAfterOneSecond) {
  ScriptedMessageBoxes boxes;
  FakeUptime uptime([](int read) { return static_cast<std::uint32_t>(read) * 600u; });
  EXPECT_EQ(ShowNotice("text"), 0);
  EXPECT_EQ(uptime.reads(), 3);  // 0, 600, 1200: the second is up at the third read
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].owner, 0u);
}

TEST(ShowNotice, AnUnknownButtonsCodeShowsNothing) {
  ScriptedMessageBoxes boxes;
  EXPECT_EQ(ShowNotice("text", 7, "title", 0, 1000), -1);
  EXPECT_TRUE(boxes.shown().empty());
}

// The real box. Shows it through `show` and, once it is on the screen, runs
// `act` on it from the box's own event loop.
struct SeenBox {
  bool seen = false;
  Text title;
  Text text;
  QWidget* parent = nullptr;
  Qt::WindowModality modality = Qt::NonModal;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::vector<Text> buttons;  // left to right
};

int WithBox(const std::function<int()>& show, const std::function<void(QMessageBox&)>& act,
            SeenBox* seen = nullptr) {
  QTimer poll;
  bool acted = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (acted) return;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box == nullptr || !box->isVisible() || box->windowHandle() == nullptr ||
          !box->windowHandle()->isExposed()) {
        continue;
      }
      acted = true;
      if (seen != nullptr) {
        seen->seen = true;
        seen->title = TextFromQString(box->windowTitle());
        seen->text = TextFromQString(box->text());
        seen->parent = box->parentWidget();
        seen->modality = box->windowModality();
        seen->icon = box->icon();
        QList<QPushButton*> buttons = box->findChildren<QPushButton*>();
        std::sort(buttons.begin(), buttons.end(), [](QPushButton* a, QPushButton* b) {
          return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
        });
        for (QPushButton* button : buttons)
          seen->buttons.push_back(TextFromQString(button->text()));
      }
      act(*box);
      return;
    }
  });
  poll.start(10);
  return show();
}

// The button with this caption, as a person reads it.
QPushButton* ButtonCaptioned(QMessageBox& box, const char* utf8) {
  for (QPushButton* button : box.findChildren<QPushButton*>()) {
    if (button->text() == QString::fromUtf8(utf8)) return button;
  }
  return nullptr;
}

TEST(ShowNotice, TheBoxAppearsOwnedByTheProgramsWindowAndClickingOkGivesZero) {
  auto window = ShowWindow("短网址 program");
  SeenBox seen;
  std::string transient_for;
  auto start = Clock::now();
  int answer = WithBox(
      [] { return ShowNotice("请输入原网址"_gbk, "提醒"_gbk); },
      [&](QMessageBox& box) {
        transient_for =
            testing::RunCommand({"xprop", "-id", std::to_string(box.winId()), "WM_TRANSIENT_FOR"})
                .out;
        QPushButton* ok = ButtonCaptioned(box, "确定");
        ASSERT_NE(ok, nullptr);
        QPoint centre = ok->mapToGlobal(ok->rect().center());
        testing::RunCommand({"xdotool", "mousemove", std::to_string(centre.x()),
                             std::to_string(centre.y()), "click", "1"});
      },
      &seen);
  EXPECT_EQ(answer, 0);
  EXPECT_LT(MsSince(start), 4500);  // the click closed it, not the 5-second time-out
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.title, "提醒"_gbk);
  EXPECT_EQ(seen.text, "请输入原网址"_gbk);
  EXPECT_EQ(seen.parent, window.get());
  EXPECT_EQ(seen.modality, Qt::WindowModal);
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.buttons, std::vector<Text>{"确定"_gbk});
  char owner_id[32];
  std::snprintf(owner_id, sizeof owner_id, "0x%lx", static_cast<unsigned long>(window->winId()));
  EXPECT_NE(transient_for.find(owner_id), std::string::npos) << transient_for;
}

TEST(ShowNotice, LeftAloneTheBoxClosesItselfWithTheTimeOutCode) {
  SeenBox seen;
  auto start = Clock::now();
  int answer = WithBox([] { return ShowNotice("closes itself", std::nullopt, "timed", 0, 300); },
                       [](QMessageBox&) {}, &seen);
  EXPECT_EQ(answer, kMessageBoxTimedOut - 1);
  EXPECT_GE(MsSince(start), 300);
  EXPECT_TRUE(seen.seen);
  EXPECT_EQ(seen.parent, nullptr);
  EXPECT_EQ(seen.modality, Qt::NonModal);
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(qobject_cast<QMessageBox*>(widget) != nullptr && widget->isVisible());
  }
}

TEST(ShowNotice, AnOwnerDestroyedUnderTheOpenBoxTakesTheBoxAlong) {
  auto window = ShowWindow("owner to go");
  WindowHandle owner = HandleOf(*window);
  int answer = WithBox([&] { return ShowNotice("text", std::nullopt, "goes", owner, 20000); },
                       [&](QMessageBox&) { window.reset(); });
  EXPECT_EQ(answer, -1);  // unanswered, and no crash
}

TEST(ShowTimedMessageBox, ButtonsAndIconFollowTheStyle) {
  struct Case {
    int style;
    std::vector<const char*> buttons;
    QMessageBox::Icon icon;
    int click;  // index of the button clicked
    int answer;
  } cases[] = {
      {0x00, {"确定"}, QMessageBox::NoIcon, 0, kIdOk},
      {0x21, {"确定", "取消"}, QMessageBox::Question, 1, kIdCancel},
      {0x12, {"中止(&A)", "重试(&R)", "忽略(&I)"}, QMessageBox::Critical, 0, kIdAbort},
      {0x12, {"中止(&A)", "重试(&R)", "忽略(&I)"}, QMessageBox::Critical, 2, kIdIgnore},
      {0x33, {"是(&Y)", "否(&N)", "取消"}, QMessageBox::Warning, 0, kIdYes},
      {0x44, {"是(&Y)", "否(&N)"}, QMessageBox::Information, 1, kIdNo},
      {0x05, {"重试(&R)", "取消"}, QMessageBox::NoIcon, 0, kIdRetry},
      {0x06, {"取消", "重试(&T)", "继续(&C)"}, QMessageBox::NoIcon, 1, kIdTryAgain},
      {0x06, {"取消", "重试(&T)", "继续(&C)"}, QMessageBox::NoIcon, 2, kIdContinue},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("style " + std::to_string(c.style) + " button " + std::to_string(c.click));
    SeenBox seen;
    int answer =
        WithBox([&] { return ShowTimedMessageBox(0, "text", "caption", c.style, 0, 20000); },
                [&](QMessageBox& box) {
                  QPushButton* button = ButtonCaptioned(box, c.buttons[c.click]);
                  ASSERT_NE(button, nullptr);
                  button->click();
                },
                &seen);
    EXPECT_EQ(answer, c.answer);
    std::vector<Text> expected;
    for (const char* caption : c.buttons) expected.push_back(TextFromUtf8(caption));
    EXPECT_EQ(seen.buttons, expected);
    EXPECT_EQ(seen.icon, c.icon);
  }
  EXPECT_EQ(ShowTimedMessageBox(0, "text", "caption", 7, 0, 20000), 0);
}

TEST(ShowTimedMessageBox, EscapeAndEnterAnswerAsOnAClassicBox) {
  struct Case {
    const char* name;
    int style;
    Qt::Key key;
    int answer;
  } cases[] = {
      {"escape in OK box", 0x00, Qt::Key_Escape, kIdOk},
      {"escape with cancel", 0x03, Qt::Key_Escape, kIdCancel},
      {"escape in yes/no box does nothing", 0x04, Qt::Key_Escape, kMessageBoxTimedOut},
      {"enter takes the first button", 0x04, Qt::Key_Return, kIdYes},
      {"enter takes the second button by style", 0x104, Qt::Key_Return, kIdNo},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int answer = WithBox([&] { return ShowTimedMessageBox(0, "text", "caption", c.style, 0, 500); },
                         [&](QMessageBox& box) { QTest::keyClick(&box, c.key); });
    EXPECT_EQ(answer, c.answer);
  }
}

}  // namespace
}  // namespace shorturl
