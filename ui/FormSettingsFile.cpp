// Camera settings files: saving what the rows show and loading it back through the rows'
// own change handlers.
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>

#include "settings/CameraSettingsFile.h"
#include "ui/ApplicationTitle.h"
#include "ui/FileDialogs.h"
#include "ui/ListBox.h"
#include "ui/Unit1.h"
#include "widgets/TrackBar.h"

namespace {

std::filesystem::path FilePath(const QString& fileName) {
  return std::filesystem::path(fileName.toStdString());
}

}  // namespace

void TFormMain::ButtonWriteClick() {
  const QString fileName = FileDialogs::Run(SaveDialog1, TSettingsDialog::Save, this);
  if (fileName.isEmpty()) {
    ShowPanelMessage(QStringLiteral("Nothing saved"));
    return;
  }
  const QFileInfo chosen(fileName);
  if (chosen.exists() &&
      !MessageDlgSimple(QStringLiteral("Overwrite file \"%1\"").arg(chosen.fileName()))) {
    ShowPanelMessage(QStringLiteral("Nothing saved"));
    return;
  }
  // The rows are taken now, not before the dialog: a refresh may have run while it was open.
  CameraSettingsFile::Write(FilePath(fileName), ComboBoxCamera->SelectedText().toStdString(),
                            ShownSettings());
  ShowPanelMessage(QStringLiteral("Settings saved"));
  ShowSettingsFileDone();
}

void TFormMain::ButtonReadClick() {
  ComboBoxCameraChange();
  const QString fileName = FileDialogs::Run(OpenDialog1, TSettingsDialog::Load, this);
  if (fileName.isEmpty()) return;
  // One read gives the whole section; a file that exists but cannot be read (no permission, not
  // a regular file, too large) is reported before anything is applied, rather than applied as
  // the defaults. A file that does not exist loads as one without the camera's section.
  ApplySettings(
      CameraSettingsFile::Load(FilePath(fileName), ComboBoxCamera->SelectedText().toStdString())
          .Settings);
  ShowSettingsFileDone();
}

TCameraSettings TFormMain::ShownSettings() const {
  TCameraSettings settings;
  for (std::size_t i = 0; i < kPropertyCount; ++i) {
    settings.Positions[i] = Rows[i].TrackBar->Value();
    settings.Autos[i] = Rows[i].CheckBox->isChecked();
  }
  settings.PowerFrequency = ComboBoxFrequency->GetItemIndex();
  return settings;
}

// Auto states first, so that a value lands on a control already in the mode it was saved
// in; then the values; then the power frequency. Each changed box or track bar runs its own
// change handler, which writes the device. A camera error (say, unplugged meanwhile) ends the
// load where it happens; what was applied stays.
void TFormMain::ApplySettings(const TCameraSettings& settings) {
  TFCamera& camera = *FCamera;
  for (std::size_t i = 0; i < kPropertyCount; ++i) {
    if ((camera.*Rows[i].Row->GetSupported)()) Rows[i].CheckBox->setChecked(settings.Autos[i]);
  }
  for (std::size_t i = 0; i < kPropertyCount; ++i) {
    if ((camera.*Rows[i].Row->GetSupported)()) {
      Rows[i].TrackBar->SetValue(static_cast<float>(settings.Positions[i]));
    }
  }
  try {
    if (camera.GetPowerLineFrequencySupported()) {
      // An index the list does not have selects nothing, which writes no frequency.
      if (!ComboBoxFrequency->SetItemIndex(settings.PowerFrequency)) {
        ComboBoxFrequency->SetItemIndex(-1);
      }
      ComboBoxFrequencyClick();
    }
  } catch (...) {
    // The frequency is a convenience of the file; a refusal leaves the device's own.
  }
}

void TFormMain::ShowSettingsFileDone() {
  StatusLabel->clear();
  setWindowTitle(kApplicationTitle);
}
