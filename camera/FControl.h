#pragma once
// What the preview needs of a control of the user-interface toolkit: the form it sits on,
// that form's native window, its size, and its points in the form's coordinates. The window
// implements it for its widgets and hands the object in; the component never sees the
// toolkit itself. A control also tells the components that asked when it goes away.

#include <cstdint>
#include <vector>

#include "platform/com/ComTypes.h"

class TFCamera;

struct TFPointF {
  double X = 0;
  double Y = 0;
};

enum TFOperation : std::uint8_t { opInsert, opRemove };

class TFControl {
 public:
  TFControl(const TFControl&) = delete;
  TFControl& operator=(const TFControl&) = delete;

  // The top-level form that contains this control, the control itself when it is a form;
  // nullptr when it sits on none.
  virtual TFControl* GetParentForm() = 0;
  virtual bool IsForm() const = 0;
  // The native window handle of this form.
  virtual HWND GetHandle() = 0;
  virtual double GetWidth() const = 0;
  virtual double GetHeight() const = 0;
  // A point in this control's own coordinates, in the client coordinates of its form.
  virtual TFPointF LocalToForm(TFPointF Point) const = 0;

  // Component hears through its Notification when this control goes away.
  void FreeNotification(TFCamera& Component);
  void RemoveFreeNotification(TFCamera& Component);

 protected:
  TFControl() = default;
  // The destructor tells the components too, but by then the derived part is gone: an
  // implementation calls NotifyRemoval as soon as its toolkit object is being destroyed.
  virtual ~TFControl();
  void NotifyRemoval();

 private:
  std::vector<TFCamera*> FNotified;
};
