// Property editing: every change of a row goes to the camera at once.
#include <QCheckBox>
#include <QLabel>

#include "ui/ListBox.h"
#include "ui/Unit1.h"
#include "ui/ValueText.h"
#include "widgets/Look.h"
#include "widgets/TrackBar.h"

void TFormMain::TrackBarChange(TTrackBar* Sender) {
  if (SupportStatus == 0 || SupportStatus == 1) return;
  TPropertyRowControls* controls = FindRow(Sender);
  if (!controls) return;
  try {
    Look::SetText(controls->LabelValue, ValueText::General(Sender->Value()));
    if (!SettingTrackBars) {
      (FCamera.get()->*controls->Row->SetValue)(ValueText::ToDeviceValue(Sender->Value()));
    }
    SetSupportStatus();
  } catch (...) {
    // A value the driver refuses is not reported: the next read of the rows shows what the
    // device really holds.
  }
}

void TFormMain::CheckBoxChange(QCheckBox* Sender) {
  if (SettingTrackBars) return;
  TPropertyRowControls* controls = FindRow(Sender);
  if (!controls) return;
  try {
    (FCamera.get()->*controls->Row->SetAuto)(Sender->isChecked());
    if (TraceMode) LogMe(QStringLiteral("### Call SetTrackBars from  CheckBoxChange event "));
    SetTrackBars();
  } catch (...) {
    ShowMessageSimple(
        QStringLiteral(
            "KorvaneCamSettingsTool detected an inconsistent cam driver implementation. ") +
        ComboBoxCamera->SelectedText() +
        QStringLiteral(
            " states this function is supported but returns an error when accessing it"));
    // Unticking runs this handler once more when the failed change was a tick.
    Sender->setChecked(false);
  }
}
