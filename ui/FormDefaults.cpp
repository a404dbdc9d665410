// The two actions on the selected camera as a whole: its factory defaults and its driver's
// own property dialog.
#include <QLabel>
#include <QStringList>

#include "ui/ApplicationTitle.h"
#include "ui/ListBox.h"
#include "ui/Unit1.h"

void TFormMain::ButtonDefaultValuesClick() {
  if (TraceMode) LogMe(QStringLiteral("ButtonDefaultValuesClick Step 01"));
  const QString cameraName = ComboBoxCamera->SelectedText();
  if (SupportStatus != 2) {
    ShowPanelMessage(cameraName + QStringLiteral(" does not support setting default values"));
    return;
  }
  if (!MessageDlgSimple(QStringLiteral("Reset settings for ") + cameraName)) {
    ShowPanelMessage(QStringLiteral("Nothing changed"));
    return;
  }
  if (TraceMode) LogMe(QStringLiteral("ButtonDefaultValuesClick Step 02"));
  TFCamera& camera = *FCamera;
  // Some cameras report defaults outside their own range; the driver would clamp such a
  // default to an end of the range, which is no factory setting, so those stay as they are.
  QStringList keptAsTheyAre;
  for (const TPropertyRow& row : kPropertyRows) {
    // Each property on its own: one the driver refuses does not keep the others from
    // their defaults. Writing a value keeps the control's Auto or manual mode.
    try {
      if (!(camera.*row.GetSupported)()) continue;
      const TFRange range = (camera.*row.GetRange)();
      if (range.Default < range.Min || range.Default > range.Max) {
        keptAsTheyAre.append(QString::fromUtf8(row.Caption));
        continue;
      }
      (camera.*row.SetValue)(range.Default);
    } catch (...) {
    }
  }
  if (TraceMode) LogMe(QStringLiteral("ButtonDefaultValuesClick - calling SetTrackBars"));
  try {
    SetTrackBars();
  } catch (...) {
    // The rows show what could be read; the reset itself is done.
  }
  if (TraceMode) {
    LogMe(QStringLiteral("### Returned from SetTrackBars"));
    LogMe(QStringLiteral("### und weiter"));
    LogMe(QStringLiteral("ButtonDefaultValuesClick Step 03"));
  }
  SetSupportStatus();
  setWindowTitle(kApplicationTitle);
  StatusLabel->clear();
  ShowPanelMessage(keptAsTheyAre.isEmpty()
                       ? QStringLiteral("Factory defaults loaded")
                       : QStringLiteral("Factory defaults loaded; the camera's own default lies "
                                        "outside its range, left as they are: ") +
                             keptAsTheyAre.join(QStringLiteral(", ")));
  if (TraceMode) LogMe(QStringLiteral(" ButtonDefaultValuesClick Step 04"));
}

void TFormMain::ButtonWindowsClick() {
  try {
    FCamera->ShowPropertyDialog();
  } catch (...) {
    ShowPanelMessage(ComboBoxCamera->SelectedText() +
                     QStringLiteral(" does not support this dialog function"));
    if (TraceMode) LogMe(QStringLiteral("ButtonWindowsClick Error"));
  }
  // Whatever was changed in the dialog, or by the driver meanwhile, shows in the rows.
  ComboBoxCameraChange();
}
