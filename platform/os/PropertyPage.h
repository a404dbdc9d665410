#pragma once
// A property page as our property frame sees it: a title and a list of controls, each with
// its kind and range, read and written through the object the frame was opened for. The
// provider that names a page class id implements the page; the frame in ui/ only renders
// what the page describes, so a device's pages need no toolkit of their own.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

namespace korvane::os {

struct PropertyPageControl {
  enum class Kind {
    Slider,  // an integer in [min, max] moved in steps of step
    Auto,    // a check box "Auto" that belongs to the slider before it
    Choice,  // one of the entries
    Action,  // a button that puts the values of its assignments into other controls
    Button,  // a button the device acts on at once (SetValue with 1), holding no value
    // A pair of buttons "−" and "+" for a control that moves the device until 0 is written
    // (a speed or a relative step, in [min, max] around 0): held, a button writes -step or
    // +step; let go, on losing focus and when the frame closes, 0. It is never read.
    Hold,
  };
  Kind kind = Kind::Slider;
  std::string caption;
  LONG min = 0, max = 0, step = 1, defaultValue = 0;  // Slider; Hold without its default
  std::vector<std::pair<LONG, std::string>> entries;  // Choice: device value and its text
  // Action: control index and the value it gets. The frame holds them like any other change
  // until Apply or OK, so Cancel still takes them back.
  std::vector<std::pair<ULONG, LONG>> assignments;
  // Shown with its value but never written (the driver reports it read-only).
  bool readOnly = false;

  static PropertyPageControl Slider(std::string caption, LONG min, LONG max, LONG step,
                                    LONG defaultValue) {
    PropertyPageControl control = Of(Kind::Slider, std::move(caption));
    control.min = min;
    control.max = max;
    control.step = step > 0 ? step : 1;
    control.defaultValue = defaultValue;
    return control;
  }
  static PropertyPageControl Hold(std::string caption, LONG min, LONG max, LONG step) {
    PropertyPageControl control = Slider(std::move(caption), min, max, step, 0);
    control.kind = Kind::Hold;
    return control;
  }
  static PropertyPageControl AutoBox() { return Of(Kind::Auto, "Auto"); }
  static PropertyPageControl Choice(std::string caption,
                                    std::vector<std::pair<LONG, std::string>> entries) {
    PropertyPageControl control = Of(Kind::Choice, std::move(caption));
    control.entries = std::move(entries);
    return control;
  }
  static PropertyPageControl Button(std::string caption) {
    return Of(Kind::Button, std::move(caption));
  }
  static PropertyPageControl Action(std::string caption,
                                    std::vector<std::pair<ULONG, LONG>> assignments) {
    PropertyPageControl control = Of(Kind::Action, std::move(caption));
    control.assignments = std::move(assignments);
    return control;
  }

 private:
  static PropertyPageControl Of(Kind kind, std::string caption) {
    PropertyPageControl control;
    control.kind = kind;
    control.caption = std::move(caption);
    return control;
  }
};

}  // namespace korvane::os

KORVANE_INTERFACE_ID(IPropertyPageDescription, "0C6A5B2E-7F31-4D8E-B4A9-5E2D1F6C8A01");

struct IPropertyPageDescription : IUnknown {
  using ComBase = IUnknown;
  // Binds the page to the objects the frame was opened for and reads what the page shows.
  // Fails when none of them offers what the page needs.
  virtual HRESULT SetObjects(ULONG count, IUnknown** objects) = 0;
  virtual HRESULT GetTitle(std::string* title) = 0;
  virtual HRESULT GetControls(std::vector<korvane::os::PropertyPageControl>* controls) = 0;
  // The value a control holds on the device now: a slider's position, 1 or 0 for an Auto box,
  // a choice's device value. Actions hold none.
  virtual HRESULT GetValue(ULONG control, LONG* value) = 0;
  virtual HRESULT SetValue(ULONG control, LONG value) = 0;
};

namespace korvane::os {

// A page whose controls are bound to the object by functions. Build fills the controls once
// SetObjects has given the page its object; a provider's page only says what it offers.
class DescribedPropertyPage : public com::ComObject<IPropertyPageDescription> {
 public:
  struct Binding {
    std::function<HRESULT(LONG*)> get;
    std::function<HRESULT(LONG)> set;
  };

  HRESULT SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT GetTitle(std::string* title) override;
  HRESULT GetControls(std::vector<PropertyPageControl>* controls) override;
  HRESULT GetValue(ULONG control, LONG* value) override;
  HRESULT SetValue(ULONG control, LONG value) override;

 protected:
  explicit DescribedPropertyPage(std::string title) : title_(std::move(title)) {}
  // Describes the page for one object; a failure code when the object does not fit.
  virtual HRESULT Build(IUnknown& object) = 0;
  // Adds a control and returns its index.
  ULONG Add(PropertyPageControl control, Binding binding = {});
  // A control that holds no value.
  static Binding NoValue() { return {}; }

 private:
  std::string title_;
  std::vector<PropertyPageControl> controls_;
  std::vector<Binding> bindings_;
};

}  // namespace korvane::os
