#pragma once
// Opens and closes of one device node as the kernel's file watch reports them: inotify IN_OPEN
// and IN_CLOSE_* on the node itself. Every process's opens are reported, this one's too, so the
// count of other processes' open files is the count at the start, plus the opens, minus the
// closes, minus what this process holds now.

#include <sys/types.h>

#include <string>
#include <vector>

namespace korvane::v4l2 {

class OpenWatch {
 public:
  OpenWatch() = default;
  ~OpenWatch();
  OpenWatch(const OpenWatch&) = delete;
  OpenWatch& operator=(const OpenWatch&) = delete;

  // 0, or -1 with errno (ENOENT: no such node; ENOTTY: not a device node).
  int Start(const std::string& path);
  int Descriptor() const { return fd_; }
  dev_t Node() const { return node_; }
  // Takes the pending events; *othersOpen is what the node's open files come to without
  // ownOpen, this process's open files of the node now. 0, or -1 with errno.
  int Read(int ownOpen, int* othersOpen);

 private:
  int fd_ = -1;
  dev_t node_ = 0;
  long open_ = 0;  // every process's open files of the node, this one's included
};

// The open descriptors of the device in every process this one may look into (its user's): a
// program that held the camera before the watch began is counted by it.
int CountOpenDescriptors(dev_t node);
// The processes other than this one with a descriptor of the device, among those.
std::vector<int> ProcessesHolding(dev_t node);

}  // namespace korvane::v4l2
