// The machine's own kernel behind the door: the C library's calls, unchanged.

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/v4l2/Kernel.h"
#include "platform/v4l2/NodeWatch.h"
#include "platform/v4l2/OpenWatch.h"

namespace korvane::v4l2 {
namespace {

// sysfs attributes are at most a page; a longer file is not one of them.
constexpr std::size_t kMaxTextFile = 64 * 1024;

class LibcKernel final : public Kernel {
 public:
  // The device each descriptor opened is noted, so that an open watch can leave this process's
  // own opens out.
  int Open(const std::string& path, int flags) override {
    const int fd = ::open(path.c_str(), flags);
    struct stat node = {};
    if (fd >= 0 && ::fstat(fd, &node) == 0 && S_ISCHR(node.st_mode)) {
      const std::lock_guard lock(watchesMutex_);
      ownNodes_[fd] = node.st_rdev;
    }
    return fd;
  }
  int Close(int fd) override {
    {
      const std::lock_guard lock(watchesMutex_);
      ownNodes_.erase(fd);
    }
    return ::close(fd);
  }
  int Ioctl(int fd, unsigned long request, void* argument) override {
    return ::ioctl(fd, request, argument);
  }
  int Poll(pollfd* fds, nfds_t count, int timeoutMs) override {
    return ::poll(fds, count, timeoutMs);
  }
  void* Mmap(void* address, std::size_t length, int protection, int flags, int fd,
             off_t offset) override {
    return ::mmap(address, length, protection, flags, fd, offset);
  }
  int Munmap(void* address, std::size_t length) override { return ::munmap(address, length); }

  int ListDirectory(const std::string& path, std::vector<std::string>* names) override {
    names->clear();
    DIR* directory = ::opendir(path.c_str());
    if (!directory) return -1;
    errno = 0;
    while (const dirent* entry = ::readdir(directory)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names->push_back(name);
    }
    const int error = errno;
    ::closedir(directory);
    if (error != 0) {
      errno = error;
      return -1;
    }
    return 0;
  }

  int ReadLink(const std::string& path, std::string* target) override {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (length < 0) return -1;
    if (static_cast<std::size_t>(length) >= buffer.size()) {
      errno = ENAMETOOLONG;
      return -1;
    }
    target->assign(buffer.data(), static_cast<std::size_t>(length));
    return 0;
  }

  int ReadTextFile(const std::string& path, std::string* contents) override {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    contents->clear();
    std::array<char, 4096> buffer{};
    for (;;) {
      const ssize_t got = ::read(fd, buffer.data(), buffer.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 || contents->size() + static_cast<std::size_t>(got) > kMaxTextFile) {
        const int error = got < 0 ? errno : EFBIG;
        ::close(fd);
        errno = error;
        return -1;
      }
      if (got == 0) break;
      contents->append(buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    return 0;
  }

  int WatchDevices() override {
    auto watch = std::make_unique<NodeWatch>();
    if (watch->Start() != 0) return -1;
    const int fd = watch->Descriptor();
    const std::lock_guard lock(watchesMutex_);
    watches_[fd] = std::move(watch);
    return fd;
  }

  int ReadDeviceWatch(int watch, std::vector<std::string>* appeared) override {
    const std::lock_guard lock(watchesMutex_);
    const auto found = watches_.find(watch);
    if (found == watches_.end()) {
      errno = EBADF;
      return -1;
    }
    return found->second->Read(appeared);
  }

  int CloseDeviceWatch(int watch) override {
    const std::lock_guard lock(watchesMutex_);
    if (watches_.erase(watch) == 0) {
      errno = EBADF;
      return -1;
    }
    return 0;
  }

  int WatchOpens(const std::string& path) override {
    auto watch = std::make_unique<OpenWatch>();
    if (watch->Start(path) != 0) return -1;
    const int fd = watch->Descriptor();
    const std::lock_guard lock(watchesMutex_);
    openWatches_[fd] = std::move(watch);
    return fd;
  }

  int ReadOpenWatch(int watch, int* othersOpen) override {
    const std::lock_guard lock(watchesMutex_);
    const auto found = openWatches_.find(watch);
    if (found == openWatches_.end()) {
      errno = EBADF;
      return -1;
    }
    const dev_t node = found->second->Node();
    const auto own = std::count_if(ownNodes_.begin(), ownNodes_.end(),
                                   [&](const auto& entry) { return entry.second == node; });
    return found->second->Read(static_cast<int>(own), othersOpen);
  }

  int OpenWatchHolders(int watch, std::vector<int>* pids) override {
    dev_t node = 0;
    {
      const std::lock_guard lock(watchesMutex_);
      const auto found = openWatches_.find(watch);
      if (found == openWatches_.end()) {
        errno = EBADF;
        return -1;
      }
      node = found->second->Node();
    }
    *pids = ProcessesHolding(node);
    return 0;
  }

  int CloseOpenWatch(int watch) override {
    const std::lock_guard lock(watchesMutex_);
    if (openWatches_.erase(watch) == 0) {
      errno = EBADF;
      return -1;
    }
    return 0;
  }

  // The user's runtime folder: private to the user, emptied at logout.
  std::string NotesFolder() const override {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime ? std::string(runtime) + "/korvane-cam" : std::string();
  }

 private:
  std::mutex watchesMutex_;
  std::map<int, std::unique_ptr<NodeWatch>> watches_;
  std::map<int, std::unique_ptr<OpenWatch>> openWatches_;
  std::map<int, dev_t> ownNodes_;  // this process's descriptors of device nodes
};

}  // namespace

std::shared_ptr<Kernel> MakeLibcKernel() {
  return std::make_shared<LibcKernel>();
}

}  // namespace korvane::v4l2
