#include "app/main_window.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "platform/window_system.h"

namespace shorturl {

const std::array<const char*, 8> MainWindow::kServiceDomains = {
    "dl.test", "sl.test", "tu.test", "kz.test", "c.test", "wz.test", "url.test", "link.test",
};

namespace {

enum class Kind { kGroupBox, kRadio, kLabel, kEdit, kButton };

struct ControlLayout {
  const char16_t* name;
  Kind kind;
  int parent;  // index into the table, or -1 for the window
  int left, top, width, height;
  const char16_t* text;  // nullptr for the radio buttons: their domain
};

// The controls in the order in which they are created; places are relative
// to the parent's top-left corner.
constexpr ControlLayout kControls[] = {
    {u"分组框1", Kind::kGroupBox, -1, 23, 8, 321, 96, u"短网址类型"},
    {u"单选框1", Kind::kRadio, 0, 17, 16, 64, 24, nullptr},
    {u"单选框2", Kind::kRadio, 0, 89, 16, 64, 24, nullptr},
    {u"单选框3", Kind::kRadio, 0, 161, 16, 64, 24, nullptr},
    {u"单选框4", Kind::kRadio, 0, 233, 16, 64, 24, nullptr},
    {u"单选框5", Kind::kRadio, 0, 17, 48, 56, 24, nullptr},
    {u"单选框6", Kind::kRadio, 0, 89, 48, 64, 24, nullptr},
    {u"单选框7", Kind::kRadio, 0, 161, 48, 72, 24, nullptr},
    {u"单选框8", Kind::kRadio, 0, 233, 48, 80, 24, nullptr},
    {u"分组框2", Kind::kGroupBox, -1, 24, 120, 320, 128, u"短网址生成"},
    {u"标签1", Kind::kLabel, 9, 24, 24, 48, 24, u"原网址："},
    {u"标签2", Kind::kLabel, 9, 24, 58, 56, 24, u"短网址："},
    {u"原网址内容", Kind::kEdit, 9, 72, 24, 232, 24, u""},
    {u"短网址内容", Kind::kEdit, 9, 72, 58, 232, 24, u""},
    {u"生成", Kind::kButton, 9, 72, 96, 80, 24, u"生成"},
    {u"复制", Kind::kButton, 9, 168, 96, 80, 24, u"复制"},
    {u"分组框3", Kind::kGroupBox, -1, 24, 256, 320, 128, u"短网址还原"},
    {u"标签3", Kind::kLabel, 16, 24, 24, 48, 24, u"短网址："},
    {u"标签4", Kind::kLabel, 16, 24, 64, 48, 16, u"原网址："},
    {u"短网址还原1", Kind::kEdit, 16, 72, 24, 232, 24, u""},
    {u"短网址还原2", Kind::kEdit, 16, 72, 64, 232, 24, u""},
    {u"按钮1", Kind::kButton, 16, 72, 96, 80, 24, u"还原"},
    {u"按钮2", Kind::kButton, 16, 176, 96, 80, 24, u"复制"},
    {u"标签5", Kind::kLabel, 16, 128, 0, 128, 16, u"理论支持所有短网址"},
};

QString FromUtf16(const char16_t* s) { return QString::fromUtf16(s); }

}  // namespace

MainWindow::MainWindow() : QWidget(nullptr) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(QStringLiteral("短网址生成还原程序 - By KOVEX"));
  // A fixed frame with system menu, minimise and close, and no maximise.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  // Button-face background for the window and every control that fills its own.
  setAutoFillBackground(true);

  std::vector<QWidget*> made;
  auto* radios = new QButtonGroup(this);
  radios->setExclusive(true);
  int radio_number = 0;
  for (const ControlLayout& row : kControls) {
    QWidget* parent = row.parent < 0 ? static_cast<QWidget*>(this) : made[row.parent];
    QWidget* control = nullptr;
    switch (row.kind) {
      case Kind::kGroupBox: {
        auto* box = new QGroupBox(FromUtf16(row.text), parent);
        box->setFocusPolicy(Qt::NoFocus);
        control = box;
        break;
      }
      case Kind::kRadio: {
        auto* radio = new QRadioButton(QString::fromLatin1(kServiceDomains[radio_number]), parent);
        radios->addButton(radio, ++radio_number);
        control = radio;
        break;
      }
      case Kind::kLabel: {
        auto* label = new QLabel(FromUtf16(row.text), parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setWordWrap(false);
        label->setFrameShape(QFrame::NoFrame);
        label->setAutoFillBackground(true);
        label->setFocusPolicy(Qt::NoFocus);
        control = label;
        break;
      }
      case Kind::kEdit: {
        auto* edit = new QLineEdit(parent);
        // QLineEdit caps its text at 32767 characters unless told otherwise.
        edit->setMaxLength(std::numeric_limits<int>::max());
        edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        control = edit;
        break;
      }
      case Kind::kButton: {
        auto* button = new QPushButton(FromUtf16(row.text), parent);
        button->setAutoDefault(false);
        button->setDefault(false);
        control = button;
        break;
      }
    }
    control->setObjectName(FromUtf16(row.name));
    control->setGeometry(row.left, row.top, row.width, row.height);
    made.push_back(control);
  }

  auto at = [&](int i) { return made[static_cast<std::size_t>(i)]; };
  分组框1 = static_cast<QGroupBox*>(at(0));
  单选框1 = static_cast<QRadioButton*>(at(1));
  单选框2 = static_cast<QRadioButton*>(at(2));
  单选框3 = static_cast<QRadioButton*>(at(3));
  单选框4 = static_cast<QRadioButton*>(at(4));
  单选框5 = static_cast<QRadioButton*>(at(5));
  单选框6 = static_cast<QRadioButton*>(at(6));
  单选框7 = static_cast<QRadioButton*>(at(7));
  单选框8 = static_cast<QRadioButton*>(at(8));
  分组框2 = static_cast<QGroupBox*>(at(9));
  标签1 = static_cast<QLabel*>(at(10));
  标签2 = static_cast<QLabel*>(at(11));
  原网址内容 = static_cast<QLineEdit*>(at(12));
  短网址内容 = static_cast<QLineEdit*>(at(13));
  生成 = static_cast<QPushButton*>(at(14));
  复制 = static_cast<QPushButton*>(at(15));
  分组框3 = static_cast<QGroupBox*>(at(16));
  标签3 = static_cast<QLabel*>(at(17));
  标签4 = static_cast<QLabel*>(at(18));
  短网址还原1 = static_cast<QLineEdit*>(at(19));
  短网址还原2 = static_cast<QLineEdit*>(at(20));
  按钮1 = static_cast<QPushButton*>(at(21));
  按钮2 = static_cast<QPushButton*>(at(22));
  标签5 = static_cast<QLabel*>(at(23));

  单选框1->setChecked(true);

  // Tab order as created: Qt's default order is creation order, but children
  // of different group boxes are chained explicitly to be sure.
  QWidget* previous = nullptr;
  for (QWidget* control : made) {
    if (control->focusPolicy() == Qt::NoFocus) continue;
    if (previous != nullptr) setTabOrder(previous, control);
    previous = control;
  }
}

Text MainWindow::ReadControlText(const QLineEdit* box) const {
  return TextFromQString(box->text());
}

void MainWindow::WriteControlText(QLineEdit* box, std::string_view text) {
  box->setText(QStringFromText(text));
}

bool MainWindow::IsRadioSelected(const QRadioButton* button) const { return button->isChecked(); }

void MainWindow::CentreOnScreen() {
  QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect area = screen->geometry();
  QRect frame = frameGeometry();
  // move() places the frame's top-left corner; halves are taken toward zero.
  move(area.x() + (area.width() - frame.width()) / 2,
       area.y() + (area.height() - frame.height()) / 2);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // Esc closes the window as the close box does; the controls pass it up.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  CentreOnScreen();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // The window manager reports its frame after the first show: centre the
  // whole window once by its real frame then. Later moves are the user's.
  if (!centred_by_frame_ && frameGeometry().size() != size()) {
    centred_by_frame_ = true;
    CentreOnScreen();
  }
}

}  // namespace shorturl
