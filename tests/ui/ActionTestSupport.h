#pragma once

#include <QString>
#include <QTemporaryDir>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/ui/UiTestSupport.h"
#include "widgets/ButtonImage.h"

class QWidget;

// Pieces shared by the tests of the button row's actions and of the refresh timer.
namespace uitest {

// Brightness (0..255 at 128, auto-capable), Contrast (0..100 at 50, auto-capable), Zoom
// (100..400 step 10 at 100) and the power-line frequency at 50 Hz.
korvane::sim::SimDevice AdjustableCamera(const std::string& name);
// Two adjustable cameras, "Cam A" (selected at start) and "Cam B".
korvane::sim::SimDescription TwoAdjustableCameras();

// The program's windows, shown, over cameras kept in a file, which other processes change too.
struct FileSession {
  explicit FileSession(const korvane::sim::SimDescription& description, QStringList arguments = {});
  TFormMain& Form() { return *Windows.FormMain; }
  // A change made by another process: through a store of its own on the same file.
  void ChangeElsewhere(const std::function<void(korvane::sim::SimDescription&)>& change);

  QTemporaryDir Folder;
  std::filesystem::path File;
  korvane::sim::ScopedSimCameras Cameras;
  TApplicationWindows Windows;
};

// Answers for the file dialogs: choose the given file (the full name, as if typed) and
// accept; or cancel.
std::function<void(QWidget&)> ChooseFile(const QString& fileName);
void CancelDialog(QWidget& dialog);
void ClickButton2(QWidget& messageForm);

// A press and release over an image button.
void Click(QWidget* button);

// Whether the lines appear in this order among the trace lines (others may come between).
bool InOrder(const QStringList& trace, const QStringList& wanted);

std::string ReadBytes(const QString& fileName);
void WriteBytes(const QString& fileName, const std::string& bytes);

}  // namespace uitest
