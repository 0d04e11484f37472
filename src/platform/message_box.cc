#include "platform/message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <memory>
#include <utility>

#include "platform/window_system.h"

namespace shorturl {
namespace {

ScriptedMessageBoxes* scripted = nullptr;

struct Button {
  const char* caption;  // UTF-8, as a Chinese desktop captions it
  int id;
};

// The buttons of each buttons code, left to right.
const std::vector<Button>* ButtonsFor(int code) {
  static const std::vector<Button> kSets[] = {
      {{"确定", kIdOk}},
      {{"确定", kIdOk}, {"取消", kIdCancel}},
      {{"中止(&A)", kIdAbort}, {"重试(&R)", kIdRetry}, {"忽略(&I)", kIdIgnore}},
      {{"是(&Y)", kIdYes}, {"否(&N)", kIdNo}, {"取消", kIdCancel}},
      {{"是(&Y)", kIdYes}, {"否(&N)", kIdNo}},
      {{"重试(&R)", kIdRetry}, {"取消", kIdCancel}},
      {{"取消", kIdCancel}, {"重试(&T)", kIdTryAgain}, {"继续(&C)", kIdContinue}},
  };
  if (code < 0 || code >= static_cast<int>(std::size(kSets))) return nullptr;
  return &kSets[code];
}

QMessageBox::Icon IconFor(int code) {
  switch (code) {
    case 0x10:
      return QMessageBox::Critical;
    case 0x20:
      return QMessageBox::Question;
    case 0x30:
      return QMessageBox::Warning;
    case 0x40:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

int ShowTimedMessageBox(WindowHandle owner, std::string_view message, std::string_view caption,
                        int style, int /*language*/, int milliseconds) {
  const std::vector<Button>* buttons = ButtonsFor(style & 0xF);
  if (buttons == nullptr) return 0;
  if (scripted != nullptr) {
    return scripted->Answer({owner, Text(message), Text(caption), style, milliseconds});
  }
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return 0;

  QWidget* parent = nullptr;
  if (owner != 0) {
    if (QWidget* widget = QWidget::find(static_cast<WId>(owner))) parent = widget->window();
  }
  // Heap-made and watched: the box dies with its owner if that is destroyed
  // while the box is open.
  QPointer<QMessageBox> box = new QMessageBox(parent);
  box->setAttribute(Qt::WA_DeleteOnClose, false);
  box->setWindowTitle(QStringFromText(caption));
  box->setTextFormat(Qt::PlainText);
  box->setText(QStringFromText(message));
  box->setIcon(IconFor(style & 0xF0));
  box->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::NonModal);

  // Every button takes the same role so that they stay in the classic order
  // whatever layout the desktop prefers for the roles.
  std::vector<std::pair<QPushButton*, int>> ids;
  for (const Button& button : *buttons) {
    QPushButton* made = box->addButton(QString::fromUtf8(button.caption), QMessageBox::ActionRole);
    ids.emplace_back(made, button.id);
    if (button.id == kIdCancel) box->setEscapeButton(made);
  }
  if (buttons->size() == 1) box->setEscapeButton(ids.front().first);
  std::size_t default_index = static_cast<std::size_t>((style >> 8) & 0xF);
  box->setDefaultButton(ids[default_index < ids.size() ? default_index : 0].first);

  // A window of another program: the box stays above it but cannot block it.
  std::unique_ptr<QWindow> foreign_owner;
  if (parent == nullptr && owner != 0 && IsWindowAlive(owner)) {
    box->winId();
    foreign_owner.reset(QWindow::fromWinId(static_cast<WId>(owner)));
    if (foreign_owner && box->windowHandle() != nullptr) {
      box->windowHandle()->setTransientParent(foreign_owner.get());
    }
  }

  int answer = 0;
  QEventLoop loop;
  QObject::connect(box, &QMessageBox::buttonClicked, &loop, [&](QAbstractButton* clicked) {
    for (const auto& [button, id] : ids) {
      if (button == clicked) answer = id;
    }
  });
  QObject::connect(box, &QDialog::finished, &loop, &QEventLoop::quit);
  QObject::connect(box, &QObject::destroyed, &loop, &QEventLoop::quit);
  QTimer timeout;
  timeout.setSingleShot(true);
  timeout.setTimerType(Qt::PreciseTimer);  // never close before the time is up
  if (milliseconds >= 0) {
    QObject::connect(&timeout, &QTimer::timeout, &loop, [&] {
      answer = kMessageBoxTimedOut;
      if (box) box->done(0);
    });
    timeout.start(milliseconds);
  }
  box->show();
  box->raise();
  box->activateWindow();
  loop.exec();

  timeout.stop();
  // The close button answers through the escape button without a click.
  if (answer == 0 && box) {
    for (const auto& [button, id] : ids) {
      if (button == box->clickedButton()) answer = id;
    }
  }
  if (box) {
    // Still open only when the event loop refused to run (program quitting).
    box->hide();
    if (box->windowHandle() != nullptr) box->windowHandle()->setTransientParent(nullptr);
    delete box.data();
  }
  return answer;
}

ScriptedMessageBoxes::ScriptedMessageBoxes(int default_answer)
    : default_answer_(default_answer), previous_(scripted) {
  scripted = this;
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() { scripted = previous_; }

void ScriptedMessageBoxes::QueueAnswer(int answer) { answers_.push_back(answer); }

int ScriptedMessageBoxes::Answer(MessageBoxRecord record) {
  shown_.push_back(std::move(record));
  if (answers_.empty()) return default_answer_;
  int answer = answers_.front();
  answers_.erase(answers_.begin());
  return answer;
}

}  // namespace shorturl
