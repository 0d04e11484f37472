// The floor for the start-up benchmark: a bare Qt window with nothing in it.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("bare"));
  window.resize(365, 399);
  window.show();
  return QApplication::exec();
}
