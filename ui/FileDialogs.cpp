#include "ui/FileDialogs.h"

#include <QDir>
#include <QFileDialog>

#include "platform/os/DocumentsFolder.h"

namespace FileDialogs {

namespace {

struct TDialogSetup {
  TSettingsDialog Kind;
  const char* Name;
  const char* Title;
  QFileDialog::AcceptMode Mode;
};

constexpr TDialogSetup kSetups[] = {
    {TSettingsDialog::Load, "OpenDialog1", "Load camera settings", QFileDialog::AcceptOpen},
    {TSettingsDialog::Save, "SaveDialog1", "Save camera settings", QFileDialog::AcceptSave},
};

const TDialogSetup& SetupOf(TSettingsDialog kind) {
  for (const TDialogSetup& setup : kSetups) {
    if (setup.Kind == kind) return setup;
  }
  return kSetups[0];
}

QFileDialog* MakeDialog(const TDialogSetup& setup, QWidget* parent) {
  auto* dialog = new QFileDialog(parent);
  dialog->setObjectName(QLatin1String(setup.Name));
  // Our own dialog on every desktop, so that it behaves the same everywhere and can be
  // driven by name. The overwrite question is the window's own, not the dialog's.
  dialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
  dialog->setAcceptMode(setup.Mode);
  // A typed name of a file that does not exist is accepted by both: loading it is loading
  // a file without the camera's section.
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setNameFilter(QStringLiteral("Korvane Camera Settings (*.kcs)"));
  dialog->setDefaultSuffix(QStringLiteral("kcs"));
  return dialog;
}

}  // namespace

QString SettingsFolderPath() {
  return QString::fromStdString(korvane::os::DocumentsFolder()) +
         QStringLiteral("/KorvaneCamSettingsTool");
}

QString SettingsFolder() {
  const QString folder = SettingsFolderPath();
  QDir().mkpath(folder);
  return folder;
}

QString Run(QFileDialog*& dialog, TSettingsDialog kind, QWidget* parent) {
  const TDialogSetup& setup = SetupOf(kind);
  const QString folder = SettingsFolder();
  if (dialog == nullptr) dialog = MakeDialog(setup, parent);
  dialog->setWindowTitle(QLatin1String(setup.Title));
  dialog->setDirectory(folder);
  dialog->selectFile(QStringLiteral("*.kcs"));
  if (dialog->exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog->selectedFiles();
  return chosen.isEmpty() ? QString() : chosen.first();
}

}  // namespace FileDialogs
