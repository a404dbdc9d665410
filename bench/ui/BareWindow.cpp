// The bare window as a whole process, so that what the window's own controls cost can be told
// apart from what any window of that size costs. The count is the program's: the in-process
// start-up benchmark reports it as its "widgets" counter.
#include <QApplication>

#include "bench/ui/BareWindow.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  const int widgets = qEnvironmentVariableIsSet("KORVANE_BARE_WIDGETS")
                          ? qEnvironmentVariableIntValue("KORVANE_BARE_WIDGETS")
                          : 200;
  const std::unique_ptr<QWidget> window = MakeBareWindow(widgets);
  window->show();
  return QApplication::exec();
}
