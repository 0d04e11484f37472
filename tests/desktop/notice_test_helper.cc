// A window of another process for the window finder's tests: shows one
// window titled argv[1] (UTF-8) and runs until it is killed.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QString::fromUtf8(argc > 1 ? argv[1] : "helper"));
  window.resize(240, 120);
  window.show();
  return app.exec();
}
