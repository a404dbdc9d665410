#pragma once

#include <QApplication>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "platform/sim/SimCameras.h"
#include "ui/ApplicationWindows.h"

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

// Shared pieces of the window tests: the application object, a private home folder for
// the geometry file, simulated cameras and a helper that answers modal boxes.
namespace uitest {

QApplication& App();

// Points HOME and XDG_CONFIG_HOME at a fresh folder for the lifetime of the object, so the
// geometry file lands there.
class TempHome {
 public:
  TempHome();
  ~TempHome();
  QString Path() const { return FDir.path(); }
  QString GeometryFile() const;

 private:
  QTemporaryDir FDir;
  QByteArray FOldHome, FOldConfig;
};

korvane::sim::SimControl Control(LONG min, LONG max, LONG step, LONG value, LONG caps = 3,
                                 LONG flags = 2, LONG defaultValue = 0);
korvane::sim::SimFormat Format(LONG width, LONG height, REFERENCE_TIME avgTimePerFrame = 333333,
                               WORD bitCount = 16);

// A camera with one 640x480 format and no controls.
korvane::sim::SimDevice Camera(const std::string& name);
// Property indexes of the two control interfaces.
enum VideoProcAmpIndex : LONG { kBrightness = 0, kContrast = 1, kGain = 9, kPowerLine = 13 };
enum CameraControlIndex : LONG { kPan = 0, kZoom = 3, kExposure = 4 };

// The program's three windows over the given cameras, created as the program creates them.
struct Session {
  explicit Session(korvane::sim::SimDescription cameras, QStringList arguments = {},
                   bool show = true);
  TFormMain& Form() { return *Windows.FormMain; }
  korvane::sim::SimStore& Store() { return Cameras.Store(); }
  template <typename T>
  T* Find(const QString& name) {
    return Windows.FormMain->findChild<T*>(name);
  }
  // Selects a camera the way the user does: a click on its item.
  void ClickCamera(int index);
  // The value and mode flags the simulated device holds for a control.
  korvane::sim::SimControl VideoProcAmp(std::size_t device, LONG index);
  korvane::sim::SimControl CameraControl(std::size_t device, LONG index);
  QStringList TraceLines() const;

  korvane::sim::ScopedSimCameras Cameras;
  TApplicationWindows Windows;
};

// Waits (in the event loop) for a modal widget with this object name and answers it with
// the given action, every time one appears while the object lives. Records the texts.
class ModalAnswerer {
 public:
  ModalAnswerer(const QString& objectName, std::function<void(QWidget&)> answer);
  ~ModalAnswerer();
  const QStringList& Texts() const { return FTexts; }

 private:
  void Poll();
  QString FObjectName;
  std::function<void(QWidget&)> FAnswer;
  QStringList FTexts;
  QTimer FTimer;
  bool FAnswering = false;
};

// Answers for the message window and for the default error display.
void ClickButton1(QWidget& messageForm);
void PressEnter(QWidget& messageForm);
void ClickOk(QWidget& errorBox);

}  // namespace uitest
