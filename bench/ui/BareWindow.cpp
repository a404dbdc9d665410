// A floor for the window's start-up: a plain window with as many widgets as the program's
// main window (plain labels in rows), so that what the window's own controls cost can be
// told apart from what any window of that size costs. The count is the program's: the
// in-process start-up benchmark reports it as its "widgets" counter.
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  const int widgets = qEnvironmentVariableIsSet("KORVANE_BARE_WIDGETS")
                          ? qEnvironmentVariableIntValue("KORVANE_BARE_WIDGETS")
                          : 200;
  QWidget window;
  window.resize(670, 740);
  auto* column = new QVBoxLayout(&window);
  int made = 0;
  while (made < widgets) {
    auto* row = new QWidget(&window);
    auto* line = new QHBoxLayout(row);
    ++made;
    for (int i = 0; i < 6 && made < widgets; ++i, ++made) {
      line->addWidget(new QLabel(QStringLiteral("Label"), row));
    }
    column->addWidget(row);
  }
  window.show();
  return QApplication::exec();
}
