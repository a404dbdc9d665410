#include "tests/ui/ActionTestSupport.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <fstream>

namespace uitest {

korvane::sim::SimDevice AdjustableCamera(const std::string& name) {
  korvane::sim::SimDevice camera = Camera(name);
  camera.videoProcAmp[kBrightness] = Control(0, 255, 1, 128, 3, 2, 100);
  camera.videoProcAmp[kContrast] = Control(0, 100, 1, 50, 3, 2, 40);
  camera.videoProcAmp[kPowerLine] = Control(0, 3, 1, 1, 2);
  camera.cameraControl[kZoom] = Control(100, 400, 10, 100, 2, 2, 200);
  return camera;
}

korvane::sim::SimDescription TwoAdjustableCameras() {
  korvane::sim::SimDescription description;
  description.devices = {AdjustableCamera("Cam A"), AdjustableCamera("Cam B")};
  return description;
}

FileSession::FileSession(const korvane::sim::SimDescription& description, QStringList arguments)
    : File((Folder.path() + QStringLiteral("/cameras.json")).toStdString()),
      Cameras((std::ofstream(File) << korvane::sim::ToJson(description), File)) {
  App();
  Windows = CreateApplicationWindows(arguments);
  Windows.FormMain->show();
}

void FileSession::ChangeElsewhere(
    const std::function<void(korvane::sim::SimDescription&)>& change) {
  ASSERT_TRUE(korvane::sim::MakeFileStore(File)->Modify(change));
}

std::function<void(QWidget&)> ChooseFile(const QString& fileName) {
  return [fileName](QWidget& dialog) {
    // Typed into the name field, as a person would, and accepted.
    dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(fileName);
    static_cast<QDialog&>(dialog).accept();
  };
}

void CancelDialog(QWidget& dialog) {
  static_cast<QDialog&>(dialog).reject();
}

void ClickButton2(QWidget& messageForm) {
  messageForm.findChild<QPushButton*>(QStringLiteral("Button2"))->click();
}

void Click(QWidget* button) {
  QTest::mouseClick(button, Qt::LeftButton);
}

bool InOrder(const QStringList& trace, const QStringList& wanted) {
  qsizetype at = 0;
  for (const QString& line : wanted) {
    at = trace.indexOf(line, at);
    if (at < 0) return false;
    ++at;
  }
  return true;
}

std::string ReadBytes(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

void WriteBytes(const QString& fileName, const std::string& bytes) {
  QFile file(fileName);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }
}

}  // namespace uitest
