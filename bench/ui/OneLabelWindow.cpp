// The floor for start-up: the smallest Qt Widgets program that shows a window, one label.
#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QLabel label(QStringLiteral("Korvane"));
  label.show();
  return QApplication::exec();
}
