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
  // A camera left moving would move on with nobody to stop it.
  ~PropertyFrameDialog() override;

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
    // QSlider, QCheckBox, QComboBox, QPushButton, or the pair of buttons of a Hold
    QWidget* widget = nullptr;
    QLabel* valueLabel = nullptr;
    LONG shown = 0;  // what the device held when last read or written
    bool readable = false;
    LONG moving = 0;  // Hold: what was written while a button is held; 0 when stopped
  };

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
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
  QWidget* HoldButtons(std::size_t field, const os::PropertyPageControl& control,
                       const QString& name);
  void StartMoving(std::size_t field, int direction);
  void StopMoving(std::size_t field);
  void StopAll();
  void UpdateApply();

  std::vector<Field> fields_;
  QPushButton* applyButton_ = nullptr;
  bool reading_ = false;
  bool stopping_ = false;  // a hold's stop is being written (or its failure told)  // widgets are
                           // being set from the device, not by the user
};

}  // namespace korvane::ui
