#include "app/main_window.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

#include "text/codepage.h"

namespace shorturl {
namespace {

struct Expected {
  const char* name;
  const char* kind;
  const char* parent;
  int left, top, width, height;
  const char* text;
};

// The layout as a person measures it on the screen: creation order, kind,
// parent, place, size and text.
const Expected kLayout[] = {
    {"分组框1", "QGroupBox", "MainWindow", 23, 8, 321, 96, "短网址类型"},
    {"单选框1", "QRadioButton", "分组框1", 17, 16, 64, 24, "dl.test"},
    {"单选框2", "QRadioButton", "分组框1", 89, 16, 64, 24, "sl.test"},
    {"单选框3", "QRadioButton", "分组框1", 161, 16, 64, 24, "tu.test"},
    {"单选框4", "QRadioButton", "分组框1", 233, 16, 64, 24, "kz.test"},
    {"单选框5", "QRadioButton", "分组框1", 17, 48, 56, 24, "c.test"},
    {"单选框6", "QRadioButton", "分组框1", 89, 48, 64, 24, "wz.test"},
    {"单选框7", "QRadioButton", "分组框1", 161, 48, 72, 24, "url.test"},
    {"单选框8", "QRadioButton", "分组框1", 233, 48, 80, 24, "link.test"},
    {"分组框2", "QGroupBox", "MainWindow", 24, 120, 320, 128, "短网址生成"},
    {"标签1", "QLabel", "分组框2", 24, 24, 48, 24, "原网址："},
    {"标签2", "QLabel", "分组框2", 24, 58, 56, 24, "短网址："},
    {"原网址内容", "QLineEdit", "分组框2", 72, 24, 232, 24, ""},
    {"短网址内容", "QLineEdit", "分组框2", 72, 58, 232, 24, ""},
    {"生成", "QPushButton", "分组框2", 72, 96, 80, 24, "生成"},
    {"复制", "QPushButton", "分组框2", 168, 96, 80, 24, "复制"},
    {"分组框3", "QGroupBox", "MainWindow", 24, 256, 320, 128, "短网址还原"},
    {"标签3", "QLabel", "分组框3", 24, 24, 48, 24, "短网址："},
    {"标签4", "QLabel", "分组框3", 24, 64, 48, 16, "原网址："},
    {"短网址还原1", "QLineEdit", "分组框3", 72, 24, 232, 24, ""},
    {"短网址还原2", "QLineEdit", "分组框3", 72, 64, 232, 24, ""},
    {"按钮1", "QPushButton", "分组框3", 72, 96, 80, 24, "还原"},
    {"按钮2", "QPushButton", "分组框3", 176, 96, 80, 24, "复制"},
    {"标签5", "QLabel", "分组框3", 128, 0, 128, 16, "理论支持所有短网址"},
};

QString TextOf(QWidget* w) {
  if (auto* b = qobject_cast<QGroupBox*>(w)) return b->title();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  return {};
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }
  MainWindow window_;
};

TEST_F(MainWindowTest, ControlsMatchTheLayoutInCreationOrder) {
  std::vector<QWidget*> created;
  // Children in creation order, depth first through the group boxes, which
  // the layout lists right before their own controls.
  for (QObject* child : window_.children()) {
    auto* box = qobject_cast<QGroupBox*>(child);
    if (box == nullptr) continue;
    created.push_back(box);
    for (QObject* inner : box->children()) {
      if (auto* w = qobject_cast<QWidget*>(inner)) created.push_back(w);
    }
  }
  ASSERT_EQ(created.size(), std::size(kLayout));
  for (std::size_t i = 0; i < created.size(); ++i) {
    const Expected& want = kLayout[i];
    QWidget* w = created[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(w->objectName(), QString::fromUtf8(want.name));
    EXPECT_STREQ(w->metaObject()->className(), want.kind);
    EXPECT_EQ(w->parentWidget()->objectName(), QString::fromUtf8(want.parent));
    EXPECT_EQ(w->geometry(), QRect(want.left, want.top, want.width, want.height));
    EXPECT_EQ(TextOf(w), QString::fromUtf8(want.text));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->isEnabled());
    if (auto* button = qobject_cast<QPushButton*>(w)) {
      EXPECT_FALSE(button->isDefault());
      EXPECT_FALSE(button->autoDefault());
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      EXPECT_EQ(edit->maxLength(), INT_MAX);
    }
  }
  EXPECT_EQ(window_.findChild<QLineEdit*>(QStringLiteral("原网址内容")), window_.原网址内容);
}

TEST_F(MainWindowTest, TitleSizeAndFrame) {
  EXPECT_EQ(window_.windowTitle(), QStringLiteral("短网址生成还原程序 - By KOVEX"));
  EXPECT_EQ(window_.size(), QSize(365, 399));
  EXPECT_EQ(window_.minimumSize(), window_.maximumSize());
  Qt::WindowFlags flags = window_.windowFlags();
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
}

TEST_F(MainWindowTest, CentredOnTheScreen) {
  QRect screen = window_.screen()->geometry();
  QRect frame = window_.frameGeometry();
  EXPECT_EQ(frame.left(), (screen.width() - frame.width()) / 2);
  EXPECT_EQ(frame.top(), (screen.height() - frame.height()) / 2);
}

TEST_F(MainWindowTest, OneRadioButtonSelectedAtATime) {
  QRadioButton* radios[] = {window_.单选框1, window_.单选框2, window_.单选框3, window_.单选框4,
                            window_.单选框5, window_.单选框6, window_.单选框7, window_.单选框8};
  auto selected = [&] {
    int count = 0;
    for (QRadioButton* r : radios) count += window_.IsRadioSelected(r) ? 1 : 0;
    return count;
  };
  EXPECT_TRUE(window_.IsRadioSelected(window_.单选框1));
  EXPECT_EQ(selected(), 1);
  for (QRadioButton* r : radios) {
    QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(6, r->height() / 2));
    EXPECT_TRUE(window_.IsRadioSelected(r));
    EXPECT_EQ(selected(), 1);
  }
  // Clicking the selected one again leaves it selected.
  QTest::mouseClick(window_.单选框8, Qt::LeftButton, {}, QPoint(6, 12));
  EXPECT_TRUE(window_.IsRadioSelected(window_.单选框8));
}

TEST_F(MainWindowTest, ControlTextRoundTripsAsGbk) {
  EXPECT_EQ(window_.ReadControlText(window_.原网址内容), "");
  window_.WriteControlText(window_.短网址内容, "生成失败"_gbk);
  EXPECT_EQ(window_.短网址内容->text(), QStringLiteral("生成失败"));
  QTest::keyClicks(window_.原网址内容, QStringLiteral("http://"));
  window_.原网址内容->insert(QStringLiteral("例子"));
  QTest::keyClicks(window_.原网址内容, QStringLiteral(".test/x"));
  EXPECT_EQ(window_.ReadControlText(window_.原网址内容), "http://例子.test/x"_gbk);
  // No length limit of the box's own.
  Text long_text(100000, 'a');
  window_.WriteControlText(window_.短网址还原2, long_text);
  EXPECT_EQ(window_.ReadControlText(window_.短网址还原2), long_text);
}

TEST_F(MainWindowTest, EscapeClosesTheWindow) {
  window_.原网址内容->setFocus();
  QTest::keyClick(window_.原网址内容, Qt::Key_Escape);
  EXPECT_FALSE(window_.isVisible());
}

}  // namespace
}  // namespace shorturl
