#pragma once
// Reading a property page the way the frame does, for tests of the providers' pages.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/ClassRegistry.h"
#include "platform/os/PropertyPage.h"

namespace korvane::testing {

using Kind = os::PropertyPageControl::Kind;

// A page of the class, bound to object (or the failure of doing so).
inline ComPtr<IPropertyPageDescription> PageFor(const CLSID& page, IUnknown* object,
                                                HRESULT* bound = nullptr) {
  ComPtr<IPropertyPageDescription> description;
  EXPECT_EQ(CoCreateInstance(page, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPageDescription,
                             description.ReleaseAndGetVoidAddressOf()),
            S_OK);
  IUnknown* objects[] = {object};
  const HRESULT result = description->SetObjects(1, objects);
  if (bound) *bound = result;
  return description;
}

inline std::vector<os::PropertyPageControl> ControlsOf(IPropertyPageDescription& page) {
  std::vector<os::PropertyPageControl> controls;
  EXPECT_EQ(page.GetControls(&controls), S_OK);
  return controls;
}

// Kind and caption of each control, with the range of a slider and the entries of a choice,
// in one line each for readable comparisons.
inline std::vector<std::string> Summary(const std::vector<os::PropertyPageControl>& controls) {
  std::vector<std::string> lines;
  for (const os::PropertyPageControl& c : controls) {
    std::string line = c.caption;
    switch (c.kind) {
      case Kind::Slider:
        line += " slider " + std::to_string(c.min) + ".." + std::to_string(c.max) + " step " +
                std::to_string(c.step) + " default " + std::to_string(c.defaultValue);
        break;
      case Kind::Hold:
        line += " hold " + std::to_string(c.min) + ".." + std::to_string(c.max) + " step " +
                std::to_string(c.step);
        break;
      case Kind::Auto:
        line += " box";
        break;
      case Kind::Choice:
        line += " choice";
        for (const auto& [value, text] : c.entries)
          line += " " + std::to_string(value) + "=" + text;
        break;
      case Kind::Button:
        line += " button";
        break;
      case Kind::Action:
        line += " action";
        for (const auto& [index, value] : c.assignments) {
          line += " #" + std::to_string(index) + "=" + std::to_string(value);
        }
        break;
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace korvane::testing
