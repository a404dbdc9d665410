#include "platform/v4l2/emulation/VirtualFiles.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <optional>
#include <string_view>

namespace korvane::v4l2::emulation {
namespace {

constexpr std::string_view kSysClass = "/sys/class/video4linux";
constexpr std::string_view kById = "/dev/v4l/by-id";
constexpr std::string_view kByPath = "/dev/v4l/by-path";

// "videoN" -> N.
std::optional<int> NodeNumber(std::string_view name) {
  if (!name.starts_with("video") || name.size() == 5) return std::nullopt;
  int number = 0;
  const auto [end, error] = std::from_chars(name.data() + 5, name.data() + name.size(), number);
  if (error != std::errc() || end != name.data() + name.size() || name[5] == '+') {
    return std::nullopt;
  }
  return number;
}

// Text as udev puts it in a link name: blanks at the ends dropped, runs of blanks one '_',
// and characters that do not belong in a name '_'.
std::string LinkText(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  std::string result;
  bool blank = false;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isspace(u)) {
      blank = true;
      continue;
    }
    if (blank) result += '_';
    blank = false;
    const bool kept = u >= 0x80 || std::isalnum(u) ||
                      std::string_view("#+-.:=@_").find(c) != std::string_view::npos;
    result += kept ? c : '_';
  }
  return result;
}

std::string Line(std::string_view text) {
  return std::string(text) + "\n";
}

// The kernel keeps a node's name in 32 bytes, like the card name.
std::string NodeName(const CameraDescription& camera) {
  return camera.card.substr(0, 31);
}

}  // namespace

std::string VirtualFiles::ByIdName(const CameraDescription& camera, bool metadata) {
  std::string name = "usb-" + LinkText(camera.usb.manufacturer.value_or(camera.usb.vendor)) + "_" +
                     LinkText(camera.usb.productName.value_or(camera.usb.product));
  if (camera.usb.serial && !LinkText(*camera.usb.serial).empty()) {
    name += "_" + LinkText(*camera.usb.serial);
  }
  return name + (metadata ? "-video-index1" : "-video-index0");
}

std::string VirtualFiles::ByPathName(const CameraDescription& camera, bool metadata) {
  return camera.byPath + (metadata ? "-video-index1" : "-video-index0");
}

VirtualFiles::VirtualFiles(std::vector<NodeView> nodes) : nodes_(std::move(nodes)) {
  std::sort(nodes_.begin(), nodes_.end(),
            [](const NodeView& a, const NodeView& b) { return a.plugOrder < b.plugOrder; });
  for (const NodeView& node : nodes_) {
    byId_[ByIdName(*node.camera, node.metadata)] = node.number;  // the last one keeps it
    byPath_[ByPathName(*node.camera, node.metadata)] = node.number;
  }
}

const NodeView* VirtualFiles::Node(int number) const {
  for (const NodeView& node : nodes_) {
    if (node.number == number) return &node;
  }
  return nullptr;
}

int VirtualFiles::ListDirectory(const std::string& path, std::vector<std::string>* names) const {
  names->clear();
  if (path == kSysClass) {
    for (const NodeView& node : nodes_) names->push_back("video" + std::to_string(node.number));
    return 0;
  }
  // udev's folders exist only while it has links in them.
  const std::map<std::string, int>* links = path == kById     ? &byId_
                                            : path == kByPath ? &byPath_
                                                              : nullptr;
  if (links && !links->empty()) {
    for (const auto& [name, node] : *links) names->push_back(name);
    return 0;
  }
  if (path == "/dev/v4l" && !nodes_.empty()) {
    *names = {"by-id", "by-path"};
    return 0;
  }
  return ENOENT;
}

int VirtualFiles::ReadLink(const std::string& path, std::string* target) const {
  for (const auto& [folder, links] : {std::pair{kById, &byId_}, std::pair{kByPath, &byPath_}}) {
    if (!path.starts_with(std::string(folder) + "/")) continue;
    const auto found = links->find(path.substr(folder.size() + 1));
    if (found == links->end()) return ENOENT;
    *target = "../../video" + std::to_string(found->second);
    return 0;
  }
  // A device node or a folder is there but is no link. (Resolve reads links itself, so only a
  // node is resolved here.)
  std::vector<std::string> names;
  const bool node = path.starts_with("/dev/video") && Resolve(path) >= 0;
  return node || ListDirectory(path, &names) == 0 ? EINVAL : ENOENT;
}

int VirtualFiles::ReadTextFile(const std::string& path, std::string* contents) const {
  const std::string prefix = std::string(kSysClass) + "/";
  if (!path.starts_with(prefix)) return ENOENT;
  const std::string_view rest = std::string_view(path).substr(prefix.size());
  const auto slash = rest.find('/');
  if (slash == std::string_view::npos) return ENOENT;
  const auto number = NodeNumber(rest.substr(0, slash));
  const NodeView* node = number ? Node(*number) : nullptr;
  if (!node) return ENOENT;
  const CameraDescription& camera = *node->camera;
  const std::string_view attribute = rest.substr(slash + 1);
  std::optional<std::string> text;
  if (attribute == "name") {
    text = NodeName(camera);
  } else if (attribute == "index") {
    text = node->metadata ? "1" : "0";
  } else if (attribute == "uevent") {
    // What programs read to learn what kind of node a character device is.
    const std::string minor = std::to_string(node->number);
    text = "MAJOR=81\nMINOR=" + minor + "\nDEVNAME=video" + minor;
  } else if (attribute == "device/../idVendor") {
    text = camera.usb.vendor;
  } else if (attribute == "device/../idProduct") {
    text = camera.usb.product;
  } else if (attribute == "device/../product") {
    text = camera.usb.productName;
  } else if (attribute == "device/../manufacturer") {
    text = camera.usb.manufacturer;
  } else if (attribute == "device/../serial") {
    text = camera.usb.serial;
  }
  if (!text) return ENOENT;
  *contents = Line(*text);
  return 0;
}

int VirtualFiles::Resolve(const std::string& path) const {
  if (path.starts_with("/dev/video")) {
    const auto number = NodeNumber(std::string_view(path).substr(5));
    return number && Node(*number) ? *number : -1;
  }
  std::string target;
  if (ReadLink(path, &target) != 0) return -1;
  return std::stoi(target.substr(std::string_view("../../video").size()));
}

std::map<std::string, int> VirtualFiles::DevicePaths() const {
  std::map<std::string, int> paths;
  for (const NodeView& node : nodes_)
    paths["/dev/video" + std::to_string(node.number)] = node.number;
  for (const auto& [folder, links] : {std::pair{kById, &byId_}, std::pair{kByPath, &byPath_}}) {
    for (const auto& [name, node] : *links) paths[std::string(folder) + "/" + name] = node;
  }
  return paths;
}

}  // namespace korvane::v4l2::emulation
