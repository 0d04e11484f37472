// MainWindow: the program's one window with its 24 controls, built from the
// layout table in main_window.cc. Every control carries its layout name as
// its object name, so tests find it the way the commands name it.
#pragma once

#include <QWidget>
#include <array>

#include "text/text.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace shorturl {

class MainWindow : public QWidget {
 public:
  MainWindow();

  // The edit box's current text as a new Text.
  Text ReadControlText(const QLineEdit* box) const;
  // Replaces the box's whole text.
  void WriteControlText(QLineEdit* box, std::string_view text);
  bool IsRadioSelected(const QRadioButton* button) const;

  // The whole window's size as the layout gives it, frame and title bar
  // included, and the client area that a classic 3-pixel frame with a
  // 26-pixel title bar leaves inside it.
  static constexpr int kFrameWidth = 371;
  static constexpr int kFrameHeight = 428;
  static constexpr int kClientWidth = 365;
  static constexpr int kClientHeight = 399;

  QGroupBox* 分组框1 = nullptr;
  QRadioButton* 单选框1 = nullptr;
  QRadioButton* 单选框2 = nullptr;
  QRadioButton* 单选框3 = nullptr;
  QRadioButton* 单选框4 = nullptr;
  QRadioButton* 单选框5 = nullptr;
  QRadioButton* 单选框6 = nullptr;
  QRadioButton* 单选框7 = nullptr;
  QRadioButton* 单选框8 = nullptr;
  QGroupBox* 分组框2 = nullptr;
  QLabel* 标签1 = nullptr;
  QLabel* 标签2 = nullptr;
  QLineEdit* 原网址内容 = nullptr;
  QLineEdit* 短网址内容 = nullptr;
  QPushButton* 生成 = nullptr;
  QPushButton* 复制 = nullptr;
  QGroupBox* 分组框3 = nullptr;
  QLabel* 标签3 = nullptr;
  QLabel* 标签4 = nullptr;
  QLineEdit* 短网址还原1 = nullptr;
  QLineEdit* 短网址还原2 = nullptr;
  QPushButton* 按钮1 = nullptr;
  QPushButton* 按钮2 = nullptr;
  QLabel* 标签5 = nullptr;

  // The domains of the eight short-link services, link type 1 to 8, as the
  // radio buttons show them.
  static const std::array<const char*, 8> kServiceDomains;

  // Places the whole window, frame included, in the middle of the screen it
  // is on. Before the window manager has reported a frame, the client area
  // is centred.
  void CentreOnScreen();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  bool centred_by_frame_ = false;
};

}  // namespace shorturl
