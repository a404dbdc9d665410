#include "platform/v4l2/V4l2Listing.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>

#include "platform/v4l2/V4l2Device.h"

namespace korvane::v4l2 {
namespace {

constexpr char kClassDirectory[] = "/sys/class/video4linux";
constexpr char kById[] = "/dev/v4l/by-id";
constexpr char kByPath[] = "/dev/v4l/by-path";

std::string Trimmed(std::string text) {
  const auto isSpace = [](unsigned char c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
  };
  while (!text.empty() && isSpace(static_cast<unsigned char>(text.back()))) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && isSpace(static_cast<unsigned char>(text[start]))) ++start;
  return text.substr(start);
}

std::optional<std::string> ReadAttribute(const Door& door, const std::string& node,
                                         const std::string& attribute) {
  std::string contents;
  if (door.ReadTextFile(std::string(kClassDirectory) + "/" + node + "/" + attribute, &contents) !=
      0) {
    return std::nullopt;
  }
  std::string value = Trimmed(std::move(contents));
  if (value.empty()) return std::nullopt;
  return value;
}

// "video12" -> 12; anything else is not a video node.
std::optional<int> NodeNumber(const std::string& name) {
  if (name.size() <= 5 || name.compare(0, 5, "video") != 0) return std::nullopt;
  int number = 0;
  for (std::size_t i = 5; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || number > 100000) return std::nullopt;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

// The links of a /dev/v4l folder by the node they point at ("video0" -> its link paths).
std::map<std::string, std::vector<std::string>> LinksByNode(const Door& door,
                                                            const std::string& folder) {
  std::map<std::string, std::vector<std::string>> links;
  std::vector<std::string> names;
  if (door.ListDirectory(folder, &names) != 0) return links;
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string target;
    const std::string path = folder + "/" + name;
    if (door.ReadLink(path, &target) != 0) continue;
    const std::size_t slash = target.find_last_of('/');
    links[slash == std::string::npos ? target : target.substr(slash + 1)].push_back(path);
  }
  return links;
}

// A capture link of a UVC camera ends in "-video-index0"; the metadata node's in index1.
std::optional<std::string> CaptureLink(const std::vector<std::string>* links) {
  if (!links || links->empty()) return std::nullopt;
  for (const std::string& link : *links) {
    if (link.ends_with("-video-index0")) return link;
  }
  return links->front();
}

struct Candidate {
  int number = 0;
  std::string node;  // "video0"
  CameraNode camera;
  std::string usbIdentity;  // vendor:product:serial; cameras sharing it share a by-id name
  std::string card;         // the driver's name of the node
  std::string portPath;     // the by-path link, which stays with the USB port
};

// The function the driver names after the product in a card name ("Integrated Camera:
// Integrated I" -> "Integrated I", cut where the driver cut it); empty when the card says no
// more than the product.
std::string CardFunction(const std::string& card, const std::string& product) {
  const std::string prefix = product + ": ";
  if (card.starts_with(prefix)) return card.substr(prefix.size());
  return card == product || product.starts_with(card) ? std::string() : card;
}

// Names that tell every camera apart, one camera keeping its name as it is: nodes of one device
// that share a product name get the card's function after it, and cameras still sharing a name
// (two of one model) are numbered in the order of their port paths, "HD Webcam", "HD Webcam
// (2)", so that each keeps its name across runs.
void NameApart(std::vector<Candidate>& candidates) {
  const auto sharing = [&](const std::string& name) {
    std::vector<Candidate*> group;
    for (Candidate& candidate : candidates) {
      if (candidate.camera.friendlyName == name) group.push_back(&candidate);
    }
    return group;
  };
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const std::string name = candidates[i].camera.friendlyName;
    std::vector<Candidate*> group = sharing(name);
    if (group.size() < 2) continue;
    for (Candidate* member : group) {
      const std::string function = CardFunction(member->card, name);
      const bool functionTellsApart = std::any_of(
          group.begin(), group.end(),
          [&](const Candidate* other) { return CardFunction(other->card, name) != function; });
      if (!function.empty() && functionTellsApart)
        member->camera.friendlyName = name + ": " + function;
    }
  }
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    std::vector<Candidate*> group = sharing(candidates[i].camera.friendlyName);
    if (group.size() < 2) continue;
    std::stable_sort(group.begin(), group.end(), [](const Candidate* a, const Candidate* b) {
      return a->portPath < b->portPath;
    });
    const std::string name = group.front()->camera.friendlyName;
    for (std::size_t n = 1; n < group.size(); ++n) {
      group[n]->camera.friendlyName = name + " (" + std::to_string(n + 1) + ")";
    }
  }
}

// Whether the node captures video: asked of the driver, or, for a node the user may not open,
// guessed from its links so that the camera is still listed.
bool IsCaptureNode(const Door& door, const std::string& nodePath,
                   const std::vector<std::string>* links, std::string* card) {
  const int fd = door.Open(nodePath, DeviceOpenFlags());
  if (fd < 0) {
    if (-fd != EACCES && -fd != EPERM) return false;
    const auto link = CaptureLink(links);
    return !link || link->ends_with("-video-index0");
  }
  const UniqueFd owned(door, fd);
  v4l2_capability capability{};
  if (door.Ioctl(fd, VIDIOC_QUERYCAP, &capability) != 0) return false;
  const std::uint32_t caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS)
                                 ? capability.device_caps
                                 : capability.capabilities;
  const auto cardField = reinterpret_cast<const char*>(capability.card);
  *card = Trimmed(std::string(cardField, strnlen(cardField, sizeof(capability.card))));
  return (caps & V4L2_CAP_VIDEO_CAPTURE) != 0 && (caps & V4L2_CAP_VIDEO_OUTPUT) == 0;
}

}  // namespace

std::vector<CameraNode> ListCameras(const Door& door) {
  std::vector<std::string> names;
  if (door.ListDirectory(kClassDirectory, &names) != 0) return {};
  const auto byId = LinksByNode(door, kById);
  const auto byPath = LinksByNode(door, kByPath);
  const auto linksOf = [](const auto& links, const std::string& node) {
    const auto found = links.find(node);
    return found == links.end() ? nullptr : &found->second;
  };

  std::vector<Candidate> candidates;
  for (const std::string& name : names) {
    const auto number = NodeNumber(name);
    if (!number) continue;
    Candidate candidate;
    candidate.number = *number;
    candidate.node = name;
    candidate.camera.nodePath = "/dev/" + name;
    std::string card;
    const auto* idLinks = linksOf(byId, name);
    if (!IsCaptureNode(door, candidate.camera.nodePath, idLinks ? idLinks : linksOf(byPath, name),
                       &card)) {
      continue;
    }
    // The driver cuts its card name to 31 characters; the USB product name is whole.
    if (card.empty()) card = ReadAttribute(door, name, "name").value_or(name);
    candidate.camera.friendlyName = ReadAttribute(door, name, "device/../product").value_or(card);
    candidate.camera.description = card;
    candidate.card = card;
    const auto port = CaptureLink(linksOf(byPath, name));
    candidate.portPath = port.value_or("~" + candidate.camera.nodePath);
    const auto vendor = ReadAttribute(door, name, "device/../idVendor");
    // A node without USB identity has no by-id name to share.
    candidate.usbIdentity =
        vendor ? *vendor + ":" + ReadAttribute(door, name, "device/../idProduct").value_or("") +
                     ":" + ReadAttribute(door, name, "device/../serial").value_or("")
               : "node:" + name;
    candidates.push_back(std::move(candidate));
  }
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate& a, const Candidate& b) { return a.number < b.number; });
  NameApart(candidates);

  std::vector<CameraNode> cameras;
  for (Candidate& candidate : candidates) {
    // Identical cameras (same vendor, product and serial) share one by-id name, and udev points
    // it at whichever came last: only the port tells them apart for good.
    const bool identityShared =
        std::count_if(candidates.begin(), candidates.end(), [&](const Candidate& other) {
          return other.usbIdentity == candidate.usbIdentity;
        }) > 1;
    std::optional<std::string> path;
    if (!identityShared) path = CaptureLink(linksOf(byId, candidate.node));
    if (!path) path = CaptureLink(linksOf(byPath, candidate.node));
    candidate.camera.devicePath = path.value_or(candidate.camera.nodePath);
    cameras.push_back(std::move(candidate.camera));
  }
  return cameras;
}

NodeLinks LinksOfNode(const Door& door, const std::string& nodePath) {
  const std::size_t slash = nodePath.find_last_of('/');
  const std::string node = slash == std::string::npos ? nodePath : nodePath.substr(slash + 1);
  NodeLinks links;
  for (auto [folder, link] : {std::pair{kById, &links.byId}, {kByPath, &links.byPath}}) {
    const auto byNode = LinksByNode(door, folder);
    const auto found = byNode.find(node);
    if (found != byNode.end()) *link = CaptureLink(&found->second).value_or("");
  }
  return links;
}

}  // namespace korvane::v4l2
