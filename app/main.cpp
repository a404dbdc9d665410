// KorvaneCamSettingsTool: the program entry.
#include <QApplication>
#include <QFont>

#include "app/FontConfigurationPreload.h"
#include "platform/providers/CameraProviders.h"
#include "ui/ApplicationWindows.h"
#include "ui/Artwork.h"
#include "ui/propertyframe/PropertyFrame.h"
#include "ui/singleinstance.h"

int main(int argc, char* argv[]) {
  // Read while the application connects to the display, which needs no fonts.
  TFontConfigurationPreload fontConfiguration;
  QApplication application(argc, argv);
  fontConfiguration.Wait();
  QApplication::setApplicationName(QStringLiteral("KorvaneCamSettingsTool"));
  QApplication::setWindowIcon(Artwork::WindowIcon());
  // Carlito has the metrics of the "Calibri" the window was laid out with.
  QApplication::setFont(QFont(QStringLiteral("Carlito")));

  // An unusable camera file has been reported on standard error; the program still runs,
  // with whatever cameras the machine offers.
  korvane::providers::InstallCameraProviders();
  // A device's own property dialog opens in our frame.
  korvane::ui::InstallPropertyFrame();

  const TApplicationWindows windows = CreateApplicationWindows(application.arguments().mid(1));
  // A second copy has completed its windows and requested the quit; it never shows them.
  if (windows.FormMain->SingleInstance1->GetQuitRequested()) return 0;
  windows.FormMain->show();
  return QApplication::exec();
}
