// The program as it starts, with the camera test started the way a double click on a format
// starts it (the laid-out window shows neither the format list nor the test's icon); or, given
// "bare", a bare window of the toolkit to set beside it. Runs until it is ended. Used by the
// end-to-end camera test and by bench/ui/LiveCamCpu.sh.
#include <QApplication>
#include <QFont>
#include <QTimer>
#include <cstring>

#include "platform/providers/CameraProviders.h"
#include "ui/ApplicationWindows.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc > 1 && std::strcmp(argv[1], "bare") == 0) {
    QWidget window;
    window.resize(670, 740);
    window.show();
    return QApplication::exec();
  }
  QApplication::setFont(QFont(QStringLiteral("Carlito")));
  korvane::providers::InstallCameraProviders();
  const TApplicationWindows windows = CreateApplicationWindows({});
  windows.FormMain->show();
  QTimer::singleShot(500, windows.FormMain.get(),
                     [&windows] { windows.FormMain->ComboBoxFormatDblClick(); });
  return QApplication::exec();
}
