#include "tests/ui/UiTestSupport.h"

#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "ui/ListBox.h"
#include "ui/MessageUnit.h"

namespace uitest {

QApplication& App() {
  // A test program that needs another platform has made its application first.
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) {
    return *existing;
  }
  static int argc = 1;
  static char name[] = "test_ui";
  static char* argv[] = {name, nullptr};
  static QApplication* application = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);  // lives until the process ends
  }();
  return *application;
}

TempHome::TempHome() : FOldHome(qgetenv("HOME")), FOldConfig(qgetenv("XDG_CONFIG_HOME")) {
  qputenv("HOME", FDir.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (FDir.path() + QStringLiteral("/.config")).toUtf8());
}

TempHome::~TempHome() {
  qputenv("HOME", FOldHome);
  qputenv("XDG_CONFIG_HOME", FOldConfig);
}

QString TempHome::GeometryFile() const {
  return FDir.path() +
         QStringLiteral("/Documents/KorvaneCamSettingsTool/KorvaneCamSettingsTool.ini");
}

korvane::sim::SimControl Control(LONG min, LONG max, LONG step, LONG value, LONG caps, LONG flags,
                                 LONG defaultValue) {
  korvane::sim::SimControl control;
  control.min = min;
  control.max = max;
  control.step = step;
  control.value = value;
  control.caps = caps;
  control.flags = flags;
  control.defaultValue = defaultValue;
  return control;
}

korvane::sim::SimFormat Format(LONG width, LONG height, REFERENCE_TIME avgTimePerFrame,
                               WORD bitCount) {
  korvane::sim::SimFormat format;
  format.width = width;
  format.height = height;
  format.avgTimePerFrame = avgTimePerFrame;
  format.bitCount = bitCount;
  return format;
}

korvane::sim::SimDevice Camera(const std::string& name) {
  korvane::sim::SimDevice device;
  device.friendlyName = name;
  device.devicePath = "sim://" + name;
  device.formats = {Format(640, 480)};
  return device;
}

Session::Session(korvane::sim::SimDescription cameras, QStringList arguments, bool show)
    : Cameras(std::move(cameras)) {
  App();
  Windows = CreateApplicationWindows(arguments);
  if (show) {
    Windows.FormMain->show();
    if (!QTest::qWaitForWindowExposed(Windows.FormMain.get())) qWarning("window not exposed");
  }
}

void Session::ClickCamera(int index) {
  TListBox* list = Find<TListBox>(QStringLiteral("ComboBoxCamera"));
  const QRect itemRect = list->visualItemRect(list->item(index));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, itemRect.center());
}

korvane::sim::SimControl Session::VideoProcAmp(std::size_t device, LONG index) {
  return Store().Read().devices.at(device).videoProcAmp.at(index);
}

korvane::sim::SimControl Session::CameraControl(std::size_t device, LONG index) {
  return Store().Read().devices.at(device).cameraControl.at(index);
}

QStringList Session::TraceLines() const {
  return Windows.FormMain->Memo1->toPlainText().split(QLatin1Char('\n'));
}

ModalAnswerer::ModalAnswerer(const QString& objectName, std::function<void(QWidget&)> answer)
    : FObjectName(objectName), FAnswer(std::move(answer)) {
  QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
  FTimer.start(10);
}

ModalAnswerer::~ModalAnswerer() {
  FTimer.stop();
}

void ModalAnswerer::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (FAnswering || !modal || modal->objectName() != FObjectName || !modal->isVisible()) return;
  FAnswering = true;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    FTexts << box->text();
  } else if (auto* label = modal->findChild<QLabel*>(QStringLiteral("Label1"))) {
    FTexts << label->text();
  }
  FAnswer(*modal);
  FAnswering = false;
}

void ClickButton1(QWidget& messageForm) {
  messageForm.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
}

void PressEnter(QWidget& messageForm) {
  QWidget* target = messageForm.focusWidget() ? messageForm.focusWidget() : &messageForm;
  QTest::keyClick(target, Qt::Key_Return);
}

void ClickOk(QWidget& errorBox) {
  static_cast<QMessageBox&>(errorBox).button(QMessageBox::Ok)->click();
}

}  // namespace uitest

// Fontconfig keeps a few bytes of its configuration to the end of the process; that is not
// ours to free. Only read by LeakSanitizer builds.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
