// The program's windows on a Wayland compositor, driven the way a user drives them: the main
// window over the simulated cameras, the camera test with its frames arriving, a settings file
// saved and loaded again, and the window closed, which writes the geometry file. Ends with 0
// when each step did what it should; otherwise names the step on standard error and ends with
// 1. Run by wayland_session.sh, which checks the geometry file afterwards.
// Usage: e2e_wayland_session <settings file to write>
#include <QApplication>
#include <QFileDialog>
#include <QFont>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "platform/providers/CameraProviders.h"
#include "ui/ApplicationWindows.h"
#include "ui/ListBox.h"
#include "ui/LiveCam.h"
#include "ui/PaintBox.h"

namespace {

constexpr int kWaitMs = 20000;

[[noreturn]] void Fail(const char* step) {
  std::fprintf(stderr, "FAIL: %s\n", step);
  std::exit(1);
}

void Expect(bool held, const char* step) {
  if (!held) Fail(step);
}

// Answers the file dialog of this name with the file, once it comes up.
void AnswerFileDialog(const QString& name, const QString& file) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, name, file] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog || dialog->objectName() != name || !dialog->isVisible()) return;
    dialog->selectFile(file);
    QMetaObject::invokeMethod(dialog, "accept");
    poll->deleteLater();
  });
  poll->start(50);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc < 2) Fail("usage: e2e_wayland_session <settings file>");
  const QString settingsFile = QString::fromLocal8Bit(argv[1]);
  Expect(QGuiApplication::platformName() == QLatin1String("wayland"),
         "the toolkit runs on its Wayland plugin");
  QApplication::setFont(QFont(QStringLiteral("Carlito")));
  korvane::providers::InstallCameraProviders();
  const TApplicationWindows windows = CreateApplicationWindows({});
  TFormMain& form = *windows.FormMain;
  form.show();
  Expect(QTest::qWaitForWindowExposed(&form, kWaitMs), "the main window is shown");
  Expect(form.ComboBoxCamera->Count() > 0, "the camera list holds the simulated cameras");

  // The camera test, started as a double click on a format starts it.
  int paints = 0;
  QObject::connect(form.PaintBox.data(), &TPaintBox::Paint, &form, [&paints] { ++paints; });
  form.ComboBoxFormatDblClick();
  TLivecamForm& test = *form.GetLivecamForm();
  Expect(QTest::qWaitForWindowExposed(&test, kWaitMs), "the camera test window is shown");
  Expect(QTest::qWaitFor([&] { return paints >= 10; }, kWaitMs), "frames are drawn");
  const QImage first = form.GetCamera().CurrentImageToBitmap();
  Expect(!first.isNull(), "the camera test has a picture");
  Expect(QTest::qWaitFor([&] { return form.GetCamera().CurrentImageToBitmap() != first; }, kWaitMs),
         "the picture moves");
  test.hide();
  Expect(QTest::qWaitFor([&] { return !form.GetCamera().GetActive(); }, kWaitMs),
         "hiding the test window ends the test");

  // A settings file saved, the camera changed by another program, the file loaded again.
  TFCamera& camera = form.GetCamera();
  const LONG saved = camera.GetBrightness();
  AnswerFileDialog(QStringLiteral("SaveDialog1"), settingsFile);
  form.ButtonWriteClick();
  Expect(QFile::exists(settingsFile), "the settings file is written");
  camera.SetBrightness(camera.GetBrightnessRange().Min);
  Expect(camera.GetBrightness() != saved, "the camera's brightness changes");
  AnswerFileDialog(QStringLiteral("OpenDialog1"), settingsFile);
  form.ButtonReadClick();
  Expect(camera.GetBrightness() == saved, "loading the file gives the camera its brightness");

  // Closing the main window saves the geometry and ends the program.
  QTimer::singleShot(0, &form, [&form] { form.close(); });
  return QApplication::exec();
}
