#pragma once
// Our property frame: the modal dialog behind OleCreatePropertyFrame. It renders the page
// descriptions a device's provider supplies, a tab per page, and holds every change until
// Apply or OK, as users know it from property dialogs.

#include <QDialog>
#include <optional>
#include <vector>

#include "platform/os/PropertyFrame.h"

class QLabel;
class QPushButton;

namespace korvane::ui {

// Makes this frame the one OleCreatePropertyFrame shows (called once at start-up, after the
// QApplication exists).
void InstallPropertyFrame();

class PropertyFrameDialog : public QDialog {
 public:
  PropertyFrameDialog(const os::PropertyFrameRequest& request, QWidget* parent = nullptr);

  // Writes the held changes to the device and reads every control back. False, after telling
  // the user, when the device refused one: that change and the ones after it stay held.
  bool Apply();

 private:
  // One control of one page as the frame shows it.
  struct Field {
    ComPtr<IPropertyPageDescription> page;
    ULONG index = 0;
    os::PropertyPageControl control;
    std::size_t firstOfPage = 0;  // where the page's controls start in fields_
    QWidget* widget = nullptr;    // QSlider, QCheckBox, QComboBox or QPushButton
    QLabel* valueLabel = nullptr;
    LONG shown = 0;  // what the device held when last read or written
    bool readable = false;
  };

  QWidget* BuildPage(const ComPtr<IPropertyPageDescription>& page);
  void AddField(Field field, class QGridLayout& grid, class QHBoxLayout& actions);
  void Connect(std::size_t field);
  void ReadAll();
  void Show(Field& field, LONG value);
  std::optional<LONG> Held(const Field& field) const;
  bool Changed(const Field& field) const;
  void FieldChanged(std::size_t field);
  void RunAction(const Field& action);
  void Press(const Field& button);
  void UpdateApply();

  std::vector<Field> fields_;
  QPushButton* applyButton_ = nullptr;
  bool reading_ = false;  // widgets are being set from the device, not by the user
};

}  // namespace korvane::ui
