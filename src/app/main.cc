// The program's entry: start-up, the message loop and exit.
#include <QApplication>
#include <cstdlib>

#include "app/commands.h"
#include "app/main_window.h"
#include "app/program.h"

int main(int argc, char** argv) {
  // The program has no command line: Qt sees only the program's name, so no
  // argument (-style, -platform, ...) changes what it does.
  (void)argc;
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QApplication::setStyle(QStringLiteral("Windows"));
  QApplication app(qt_argc, qt_argv);

  std::atexit(shorturl::OnProgramExit);

  shorturl::MainWindow window;
  shorturl::Commands commands(window, shorturl::kApiHost);
  commands.Bind();
  window.CentreOnScreen();
  window.show();

  QApplication::exec();
  return 0;
}
