#pragma once
// The core of the emulated kernel, as the Video4Linux2 core is for real drivers: the cameras
// of the file plugged in as device nodes, open files and their descriptors, ioctl dispatch,
// priorities, events, poll, buffer mappings, unplugging and plugging in again, and the camera
// file kept in step with the device state. Every member assumes the caller holds Mutex().

#include <poll.h>
#include <sys/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/v4l2/emulation/BufferQueue.h"
#include "platform/v4l2/emulation/DescriptionJson.h"
#include "platform/v4l2/emulation/EmulationFile.h"
#include "platform/v4l2/emulation/EventQueue.h"
#include "platform/v4l2/emulation/FileWatch.h"
#include "platform/v4l2/emulation/NodeUsers.h"
#include "platform/v4l2/emulation/Readiness.h"
#include "platform/v4l2/emulation/StreamClaims.h"
#include "platform/v4l2/emulation/UvcCamera.h"
#include "platform/v4l2/emulation/VirtualFiles.h"

namespace korvane::v4l2::emulation {

class OpenFile;

// One plug of a camera: its device nodes and what the kernel keeps for them. An unplugged
// device stays alive for the files still open on it, which then only get ENODEV.
struct Device {
  std::shared_ptr<UvcCamera> camera;
  int captureNode = -1;
  int metadataNode = -1;
  std::uint64_t plugOrder = 0;
  bool registered = true;
  std::array<int, 4> priorities{};  // open files at each priority
  BufferQueue capture{V4L2_BUF_TYPE_VIDEO_CAPTURE};
  BufferQueue metadata{V4L2_BUF_TYPE_META_CAPTURE};
  std::vector<OpenFile*> files;
  // The open file that holds the capture stream's privileges, where the driver has them.
  const OpenFile* streamHolder = nullptr;

  std::uint32_t HighestPriority() const;
};

// An open file description of a device node; released when the last descriptor and mapping
// of it are gone.
class OpenFile {
 public:
  OpenFile(std::shared_ptr<Device> device, bool metadata);
  ~OpenFile();
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  Device& Dev() const { return *device_; }
  bool Metadata() const { return metadata_; }
  BufferQueue& Queue() const { return metadata_ ? device_->metadata : device_->capture; }
  std::uint32_t Priority() const { return priority_; }
  void SetPriority(std::uint32_t priority);
  EventQueue& Events() { return events_; }
  const EventQueue& Events() const { return events_; }

 private:
  std::shared_ptr<Device> device_;
  bool metadata_;
  std::uint32_t priority_;
  EventQueue events_;
};

class KernelCore {
 public:
  // Without a file the cameras live in memory only.
  explicit KernelCore(std::unique_ptr<EmulationFile> file);
  ~KernelCore();

  std::mutex& Mutex() { return mutex_; }

  // Takes a description as the device state (the first one, or a file changed by another).
  void Apply(ParsedDescription parsed);
  // Brings the state up to the file; the fault that leaves it without cameras, else "".
  std::string Sync();
  void ReportFaults(bool report) { reportFaults_ = report; }

  // The calls of the door: a result, or -errno.
  int Open(const std::string& path, int flags);
  int Close(int fd);
  int Ioctl(int fd, unsigned long request, void* argument);
  int Poll(pollfd* fds, nfds_t count, int timeoutMs, std::unique_lock<std::mutex>& lock);
  void* Mmap(std::size_t length, int protection, int flags, int fd, off_t offset, int* error);
  int Munmap(void* address, std::size_t length);
  int ListDirectory(const std::string& path, std::vector<std::string>* names);
  int ReadLink(const std::string& path, std::string* target);
  int ReadTextFile(const std::string& path, std::string* contents);
  // Plugging in, seen through the camera file: reading the watch brings the cameras up to the
  // file and names the nodes and links that are new or lead elsewhere since the last read.
  int WatchDevices();
  int ReadDeviceWatch(int watch, std::vector<std::string>* appeared);
  int CloseDeviceWatch(int watch);
  // Another program's opens and closes of a node, seen through the folder where each process
  // on the camera file tells its open files (NodeUsers).
  int WatchOpens(const std::string& path);
  int ReadOpenWatch(int watch, int* othersOpen);
  int CloseOpenWatch(int watch);
  int OpenWatchHolders(int watch, std::vector<int>* pids);
  // Tells the other processes this one's open files of each node, when they changed.
  void PublishOpens();
  std::string NotesFolder() const { return users_ ? users_->Folder().string() : std::string(); }

  // What tests and other programs do to the cameras, by camera id.
  void SetPresent(const std::string& camera, bool present);
  void Replug(const std::string& camera);
  std::optional<std::int32_t> ControlValue(const std::string& camera, std::uint32_t id);
  void SetControlValue(const std::string& camera, std::uint32_t id, std::int32_t value);
  void InterruptNextCalls(int count) { interruptions_ = count; }
  std::size_t IoctlCount(unsigned long request) const;
  std::size_t IoctlCount() const;
  void ResetCounts();
  std::size_t DeviceTransfers(const std::string& camera);
  std::string NodePath(const std::string& camera);

  // Sets every open file's descriptor readable or not by what it has to report now; called
  // at the end of every call, since any call may change that for any file.
  void RefreshReadiness();

  // For the ioctl handlers: tells subscribers of a device of committed control changes.
  void Announce(Device& device, const OpenFile* origin, const std::vector<ControlChange>& changes);

 private:
  struct Camera {
    std::shared_ptr<UvcCamera> uvc;
    std::shared_ptr<Device> device;  // null while unplugged
  };
  // A buffer mapped by a caller; unmapped when dropped.
  struct Mapping {
    Mapping(void* at, std::size_t bytes, std::shared_ptr<BufferMemory> buffer,
            std::shared_ptr<OpenFile> owner);
    ~Mapping();
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    void* address;
    std::size_t length;
    std::shared_ptr<BufferMemory> memory;
    std::shared_ptr<OpenFile> file;  // a mapping keeps its file open, as in the kernel
  };

  Camera* Find(const std::string& id);
  std::shared_ptr<OpenFile> Lookup(int fd) const;
  VirtualFiles Files() const;
  bool Interrupted(const Device* device);
  void Plug(Camera& camera);
  void Unplug(Camera& camera);
  void MatchPresence(Camera& camera);
  std::set<int> ReservedNodes() const;
  int FreeNode(const std::set<int>& reserved) const;
  // Writes what changed in the camera since before into the document and the file; EIO when
  // it could not be stored (the camera is then put back as it was).
  int Persist(const std::string& id, const UvcCamera::State& before);
  int Store(const std::string& id, const UvcCamera::State& before);
  void Report(const std::string& fault);
  short PollMask(const pollfd& entry) const;
  // Gives back the claims of cameras this program no longer streams.
  void SettleClaims();
  // When the file's descriptor should turn readable: now, at its next frame, or never.
  static std::optional<Readiness::Clock::time_point> WakeTime(const OpenFile& file);

  std::mutex mutex_;
  std::unique_ptr<EmulationFile> file_;
  // The camera file watched for other programs' changes from the first open on, so that a
  // waiting descriptor wakes for them; drained at every look at the file.
  FileWatch fileChanges_;
  bool fileWatched_ = false;
  std::vector<Camera> cameras_;  // in the file's order
  struct Descriptor {
    std::shared_ptr<OpenFile> file;
    std::unique_ptr<Readiness> readiness;  // its number is the descriptor's
  };
  std::map<int, Descriptor> files_;
  std::map<void*, std::unique_ptr<Mapping>> mappings_;
  struct DeviceWatch {
    FileWatch file;
    std::map<std::string, int> seen;  // device paths and their nodes at the last read
  };
  std::map<int, DeviceWatch> watches_;  // by the watch's descriptor
  std::unique_ptr<NodeUsers> users_;    // with a file only
  struct OpenWatch {
    FileWatch folder;
    std::string node;  // NodeUsers::Key
  };
  std::map<int, OpenWatch> openWatches_;  // by the watch's descriptor
  std::set<int> usedNodes_;  // every node number handed out; a camera plugged again gets a new one
  std::uint64_t plugs_ = 0;
  int interruptions_ = 0;
  std::unordered_map<unsigned long, std::size_t> ioctlCounts_;
  bool reportFaults_ = true;
  std::string lastReport_;
  // The cameras this program streams, as other programs on the same file see it.
  StreamClaims claims_;
};

}  // namespace korvane::v4l2::emulation
