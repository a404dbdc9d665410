#pragma once
// The files a program reads to find cameras: the nodes in /sys/class/video4linux with their
// names and USB attributes, the device nodes in /dev, and the links udev makes in
// /dev/v4l/by-id and /dev/v4l/by-path. Two identical cameras want the same by-id link; as
// with udev, the one that came last has it.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/v4l2/emulation/Description.h"

namespace korvane::v4l2::emulation {

struct NodeView {
  int number = 0;
  bool metadata = false;
  const CameraDescription* camera = nullptr;
  std::uint64_t plugOrder = 0;  // later plugs are higher
};

class VirtualFiles {
 public:
  explicit VirtualFiles(std::vector<NodeView> nodes);

  // Each returns 0 or the errno of the call.
  int ListDirectory(const std::string& path, std::vector<std::string>* names) const;
  int ReadLink(const std::string& path, std::string* target) const;
  int ReadTextFile(const std::string& path, std::string* contents) const;
  // The node a device path or a link leads to; -1 when none.
  int Resolve(const std::string& path) const;
  // Every device node and link in /dev, with the node it leads to.
  std::map<std::string, int> DevicePaths() const;

  // The name of a node's links in /dev/v4l/by-id and /dev/v4l/by-path.
  static std::string ByIdName(const CameraDescription& camera, bool metadata);
  static std::string ByPathName(const CameraDescription& camera, bool metadata);

 private:
  const NodeView* Node(int number) const;

  std::vector<NodeView> nodes_;
  std::map<std::string, int> byId_, byPath_;
};

}  // namespace korvane::v4l2::emulation
