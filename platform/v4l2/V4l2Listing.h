#pragma once
// Which cameras the machine has now: the capture nodes under /sys/class/video4linux, named
// and identified the way a person and a settings file need them. Read afresh at each call, so
// a camera plugged in or out shows at the next enumeration without a watcher.

#include <string>
#include <vector>

#include "platform/v4l2/Kernel.h"

namespace korvane::v4l2 {

struct CameraNode {
  std::string nodePath;      // "/dev/video0": what the filter opens
  std::string friendlyName;  // the USB product name, else the driver's card name
  // The node's /dev/v4l/by-id link when it names this camera alone, else its by-path link,
  // else the node: stable across replugging into the same port.
  std::string devicePath;
  std::string description;  // the driver's card name and bus, for whoever wants more
};

// Capture nodes only (a UVC camera's metadata node is no second camera), in node order. A node
// the user may not open is listed all the same, so the window can say what is wrong.
std::vector<CameraNode> ListCameras(const Door& door);

// A capture node's two stable names: its /dev/v4l/by-id link (which units sharing a serial
// number share too) and its /dev/v4l/by-path link (its USB port); empty where it has none.
struct NodeLinks {
  std::string byId;
  std::string byPath;
};
NodeLinks LinksOfNode(const Door& door, const std::string& nodePath);

}  // namespace korvane::v4l2
