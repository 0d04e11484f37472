// gtest's main for tests that need the window system: the application object
// is made first, in the style the program uses. DISPLAY comes from the test
// script's virtual display.
#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Listing the tests needs no display.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  QApplication::setStyle(QStringLiteral("Windows"));
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QApplication app(qt_argc, qt_argv);
  return RUN_ALL_TESTS();
}
