#pragma once
// A widget as the camera component sees a control: its window as the form, the window's
// native handle, its size, and its points in the window's coordinates. It tells the
// component when the widget goes away.

#include <QMetaObject>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "camera/FControl.h"

class TWidgetControl final : public TFControl {
 public:
  explicit TWidgetControl(QWidget* Widget);
  ~TWidgetControl() override;

  TFControl* GetParentForm() override;
  bool IsForm() const override;
  HWND GetHandle() override;
  double GetWidth() const override;
  double GetHeight() const override;
  TFPointF LocalToForm(TFPointF Point) const override;

  QWidget* Widget() const { return FWidget; }

 private:
  QPointer<QWidget> FWidget;
  QMetaObject::Connection FDestroyed;
  // The control of the widget's window, when that is not the widget itself.
  std::unique_ptr<TWidgetControl> FForm;
};
