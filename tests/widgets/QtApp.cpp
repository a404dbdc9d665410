#include "tests/widgets/QtApp.h"

#include <QApplication>

void EnsureQtApplication() {
  static int argc = 1;
  static char name[] = "korvane_widgets_tests";
  static char* argv[] = {name, nullptr};
  static QApplication application(argc, argv);
}
