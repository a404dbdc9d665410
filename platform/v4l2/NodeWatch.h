#pragma once
// The machine's device folders watched for cameras coming: one inotify descriptor on /dev (nodes
// created, their permissions set by udev), on /dev/v4l, and on its by-id and by-path folders,
// which udev makes with the first camera and removes with the last, so they are watched from
// the moment they appear.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace korvane::v4l2 {

// The names in a folder without "." and "..", none when it cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder);

class NodeWatch {
 public:
  // root: the device folder, "/dev" but for tests.
  explicit NodeWatch(std::string root = "/dev") : root_(std::move(root)) {}
  ~NodeWatch();
  NodeWatch(const NodeWatch&) = delete;
  NodeWatch& operator=(const NodeWatch&) = delete;

  // 0, or -1 with errno when inotify or the watch on the root fails.
  int Start();
  int Descriptor() const { return fd_; }
  // As Kernel::ReadDeviceWatch.
  int Read(std::vector<std::string>* appeared);

 private:
  // Watches a folder that exists now and reports what it holds already, since its entries may
  // have come before the watch did.
  void WatchFolder(const std::string& folder, std::vector<std::string>* appeared);
  void ReportNodes(std::vector<std::string>* appeared) const;
  void Take(int watched, std::uint32_t mask, const std::string& name,
            std::vector<std::string>* appeared);

  const std::string root_;
  int fd_ = -1;
  std::map<int, std::string> folders_;  // watch descriptor -> folder
};

}  // namespace korvane::v4l2
