#pragma once
// Controls as a window hands them to the camera component: a form with a native handle, and
// a control placed on it at an offset. Destroying one tells the component, as a widget does.

#include <memory>

#include "camera/FControl.h"

namespace korvane::camera::testing {

class TestControl final : public TFControl {
 public:
  // A form: its own handle, its client area at the origin.
  static std::unique_ptr<TestControl> Form(double Width = 800, double Height = 600) {
    return std::unique_ptr<TestControl>(new TestControl(nullptr, {0, 0}, Width, Height));
  }
  // A control of Parent's form, its top-left corner at Origin in the form's coordinates; a
  // null Parent makes a control that sits on no form.
  static std::unique_ptr<TestControl> On(TestControl* Parent, TFPointF Origin, double Width,
                                         double Height) {
    return std::unique_ptr<TestControl>(new TestControl(Parent, Origin, Width, Height, false));
  }
  ~TestControl() override { NotifyRemoval(); }

  TFControl* GetParentForm() override {
    if (FIsForm) return this;
    return FParent ? FParent->GetParentForm() : nullptr;
  }
  bool IsForm() const override { return FIsForm; }
  HWND GetHandle() override { return this; }
  double GetWidth() const override { return FWidth; }
  double GetHeight() const override { return FHeight; }
  TFPointF LocalToForm(TFPointF Point) const override {
    return {Point.X + FOrigin.X, Point.Y + FOrigin.Y};
  }

 private:
  TestControl(TestControl* Parent, TFPointF Origin, double Width, double Height,
              bool IsAForm = true)
      : FParent(Parent), FOrigin(Origin), FWidth(Width), FHeight(Height), FIsForm(IsAForm) {}

  TestControl* FParent;
  TFPointF FOrigin;
  double FWidth;
  double FHeight;
  bool FIsForm;
};

}  // namespace korvane::camera::testing
