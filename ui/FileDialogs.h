#pragma once

#include <QString>

class QFileDialog;
class QWidget;

// The two settings-file dialogs of the main window, set up from one table.
enum class TSettingsDialog { Load, Save };

namespace FileDialogs {

// Documents/KorvaneCamSettingsTool, where the geometry file lives and the dialogs start. When
// no documents folder can be found, the folder part is empty and the path starts at the root.
QString SettingsFolderPath();

// The settings folder, created with any missing parents (a folder that cannot be created only
// means the dialog starts where it can).
QString SettingsFolder();

// Makes the dialog on first use (owned by parent, named OpenDialog1 or SaveDialog1), sets it
// up as the table says, and runs it modally. The chosen file's full name, or empty when the
// user cancelled.
QString Run(QFileDialog*& dialog, TSettingsDialog kind, QWidget* parent);

}  // namespace FileDialogs
