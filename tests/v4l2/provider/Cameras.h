#pragma once
// Emulated cameras for the provider tests, as JSON texts in the emulation's file format.

#include <string>

namespace korvane::v4l2::testing {

// One UVC camera with every control the window's rows know, each its own value and range;
// white balance and focus automatic, exposure in aperture priority (its menu has only manual
// and aperture priority, as most web cameras have).
inline std::string FullCamera(const std::string& extraControls = "",
                              const std::string& firmware = "{}") {
  return R"({"cameras":[{"id":"cam","node":0,"card":"Test Cam","busInfo":"usb-0000:00:14.0-1",
  "usb":{"vendor":"046d","product":"0825","productName":"Test Cam","serial":"S1"},
  "byPath":"pci-0000:00:14.0-usb-0:1:1.0",
  "controls":[
   {"name":"brightness","min":-64,"max":64,"step":1,"default":0,"value":10},
   {"name":"contrast","min":0,"max":100,"step":1,"default":50,"value":51},
   {"name":"saturation","min":0,"max":100,"step":1,"default":60,"value":62},
   {"name":"hue","min":-40,"max":40,"step":1,"default":0,"value":-5},
   {"name":"hue_automatic","default":0,"value":0},
   {"name":"sharpness","min":0,"max":7,"step":1,"default":3,"value":4},
   {"name":"gamma","min":100,"max":500,"step":1,"default":300,"value":301},
   {"name":"backlight_compensation","min":0,"max":2,"step":1,"default":1,"value":2},
   {"name":"white_balance_automatic","default":1,"value":1},
   {"name":"white_balance_temperature","min":2800,"max":6500,"step":10,"default":4600,"value":4600},
   {"name":"gain","min":0,"max":255,"step":1,"default":0,"value":32},
   {"name":"power_line_frequency","menu":[0,1,2],"default":1,"value":1},
   {"name":"auto_exposure","menu":[1,3],"default":3,"value":3},
   {"name":"exposure_time_absolute","min":3,"max":2047,"step":1,"default":250,"value":250},
   {"name":"focus_automatic_continuous","default":1,"value":1},
   {"name":"focus_absolute","min":0,"max":250,"step":5,"default":0,"value":30},
   {"name":"zoom_absolute","min":100,"max":500,"step":1,"default":100,"value":120},
   {"name":"pan_absolute","min":-36000,"max":36000,"step":3600,"default":0,"value":3600},
   {"name":"tilt_absolute","min":-36000,"max":36000,"step":3600,"default":0,"value":-3600},
   {"name":"iris_absolute","min":0,"max":10,"step":1,"default":5,"value":6})" +
         extraControls + R"(],
  "formats":[{"fourcc":"YUYV","sizes":[{"width":640,"height":480,"intervals":["1/30","1/15"]},
                                       {"width":1280,"height":720,"intervals":["1/10"]}]},
             {"fourcc":"MJPG","sizes":[{"width":640,"height":480,"intervals":["1/30"]}]}],
  "current":{"fourcc":"YUYV","width":640,"height":480,"interval":"1/30"},
  "firmware":)" +
         firmware + R"(}]})";
}

// A camera with the given controls only (a JSON list body) and one format.
inline std::string CameraWith(const std::string& controls, const std::string& name = "Small Cam",
                              const std::string& extra = "") {
  return R"({"cameras":[{"id":"cam","node":0,"card":")" + name +
         R"(","busInfo":"usb-1","usb":{"vendor":"1234","product":"5678","productName":")" + name +
         R"("},"byPath":"pci-0000:00:14.0-usb-0:2:1.0","controls":[)" + controls +
         R"(],"formats":[{"fourcc":"YUYV","sizes":[{"width":640,"height":480,"intervals":["1/30"]}]}],
  "current":{"fourcc":"YUYV","width":640,"height":480,"interval":"1/30"})" +
         extra + "}]}";
}

}  // namespace korvane::v4l2::testing
