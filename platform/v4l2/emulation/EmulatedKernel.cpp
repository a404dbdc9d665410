#include "platform/v4l2/emulation/EmulatedKernel.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "platform/v4l2/emulation/KernelCore.h"

namespace korvane::v4l2::emulation {
namespace {

// A core result (or -errno) as the system call gives it: -1 with errno set.
int Answer(int result) {
  if (result >= 0) return result;
  errno = -result;
  return -1;
}

// One call into the core, under its lock. Any call may change what an open file has to report
// (an event for another file, a camera gone, a buffer queued), so every descriptor is brought
// up to date before the lock is let go.
class CoreCall {
 public:
  explicit CoreCall(KernelCore& core) : core_(core), lock_(core.Mutex()) {}
  ~CoreCall() { core_.RefreshReadiness(); }
  CoreCall(const CoreCall&) = delete;
  CoreCall& operator=(const CoreCall&) = delete;
  std::unique_lock<std::mutex>& Lock() { return lock_; }

 private:
  KernelCore& core_;
  std::unique_lock<std::mutex> lock_;
};

}  // namespace

EmulatedKernel::EmulatedKernel(std::unique_ptr<KernelCore> core) : core_(std::move(core)) {}

EmulatedKernel::~EmulatedKernel() = default;

std::shared_ptr<EmulatedKernel> EmulatedKernel::FromJson(std::string_view json,
                                                         std::string* error) {
  try {
    auto core = std::make_unique<KernelCore>(nullptr);
    core->Apply(ParseDescription(json));
    return std::shared_ptr<EmulatedKernel>(new EmulatedKernel(std::move(core)));
  } catch (const DescriptionError& fault) {
    if (error) *error = fault.what();
    return nullptr;
  }
}

std::shared_ptr<EmulatedKernel> EmulatedKernel::FromFile(const std::filesystem::path& file,
                                                         std::string* error) {
  auto core = std::make_unique<KernelCore>(std::make_unique<EmulationFile>(file));
  // The caller is told instead; faults found later go to standard error.
  core->ReportFaults(false);
  const std::string fault = core->Sync();
  if (!fault.empty()) {
    if (error) *error = fault;
    return nullptr;
  }
  core->ReportFaults(true);
  return std::shared_ptr<EmulatedKernel>(new EmulatedKernel(std::move(core)));
}

std::shared_ptr<Kernel> KernelFromEnvironment(bool* usable) {
  const char* file = std::getenv("KORVANE_V4L2_EMULATION");
  if (!file || *file == '\0') return nullptr;
  auto core = std::make_unique<KernelCore>(std::make_unique<EmulationFile>(file));
  const bool fine = core->Sync().empty();
  if (usable) *usable = fine;
  return std::shared_ptr<EmulatedKernel>(new EmulatedKernel(std::move(core)));
}

int EmulatedKernel::Open(const std::string& path, int flags) {
  const CoreCall call(*core_);
  return Answer(core_->Open(path, flags));
}

int EmulatedKernel::Close(int fd) {
  const CoreCall call(*core_);
  return Answer(core_->Close(fd));
}

int EmulatedKernel::Ioctl(int fd, unsigned long request, void* argument) {
  const CoreCall call(*core_);
  return Answer(core_->Ioctl(fd, request, argument));
}

int EmulatedKernel::Poll(pollfd* fds, nfds_t count, int timeoutMs) {
  CoreCall call(*core_);
  return Answer(core_->Poll(fds, count, timeoutMs, call.Lock()));
}

void* EmulatedKernel::Mmap(void* /*address*/, std::size_t length, int protection, int flags, int fd,
                           off_t offset) {
  const CoreCall call(*core_);
  int error = 0;
  void* mapping = core_->Mmap(length, protection, flags, fd, offset, &error);
  if (mapping == MAP_FAILED) errno = error;
  return mapping;
}

int EmulatedKernel::Munmap(void* address, std::size_t length) {
  const CoreCall call(*core_);
  return Answer(core_->Munmap(address, length));
}

int EmulatedKernel::ListDirectory(const std::string& path, std::vector<std::string>* names) {
  const CoreCall call(*core_);
  return Answer(core_->ListDirectory(path, names));
}

int EmulatedKernel::ReadLink(const std::string& path, std::string* target) {
  const CoreCall call(*core_);
  return Answer(core_->ReadLink(path, target));
}

int EmulatedKernel::ReadTextFile(const std::string& path, std::string* contents) {
  const CoreCall call(*core_);
  return Answer(core_->ReadTextFile(path, contents));
}

int EmulatedKernel::WatchDevices() {
  const CoreCall call(*core_);
  return Answer(core_->WatchDevices());
}

int EmulatedKernel::ReadDeviceWatch(int watch, std::vector<std::string>* appeared) {
  const CoreCall call(*core_);
  return Answer(core_->ReadDeviceWatch(watch, appeared));
}

int EmulatedKernel::CloseDeviceWatch(int watch) {
  const CoreCall call(*core_);
  return Answer(core_->CloseDeviceWatch(watch));
}

int EmulatedKernel::WatchOpens(const std::string& path) {
  std::lock_guard lock(core_->Mutex());
  return Answer(core_->WatchOpens(path));
}

int EmulatedKernel::ReadOpenWatch(int watch, int* othersOpen) {
  std::lock_guard lock(core_->Mutex());
  return Answer(core_->ReadOpenWatch(watch, othersOpen));
}

int EmulatedKernel::OpenWatchHolders(int watch, std::vector<int>* pids) {
  std::lock_guard lock(core_->Mutex());
  return Answer(core_->OpenWatchHolders(watch, pids));
}

int EmulatedKernel::CloseOpenWatch(int watch) {
  std::lock_guard lock(core_->Mutex());
  return Answer(core_->CloseOpenWatch(watch));
}

std::string EmulatedKernel::NotesFolder() const {
  std::lock_guard lock(core_->Mutex());
  return core_->NotesFolder();
}

void EmulatedKernel::Unplug(std::string_view camera) {
  const CoreCall call(*core_);
  core_->SetPresent(std::string(camera), false);
}

void EmulatedKernel::Replug(std::string_view camera) {
  const CoreCall call(*core_);
  core_->Replug(std::string(camera));
}

std::optional<int32_t> EmulatedKernel::ControlValue(std::string_view camera, uint32_t cid) const {
  const CoreCall call(*core_);
  return core_->ControlValue(std::string(camera), cid);
}

void EmulatedKernel::SetControlValue(std::string_view camera, uint32_t cid, int32_t value) {
  const CoreCall call(*core_);
  core_->SetControlValue(std::string(camera), cid, value);
}

void EmulatedKernel::InterruptNextCalls(int count) {
  const CoreCall call(*core_);
  core_->InterruptNextCalls(count);
}

std::size_t EmulatedKernel::IoctlCount(unsigned long request) const {
  const CoreCall call(*core_);
  return core_->IoctlCount(request);
}

std::size_t EmulatedKernel::IoctlCount() const {
  const CoreCall call(*core_);
  return core_->IoctlCount();
}

void EmulatedKernel::ResetCounts() {
  const CoreCall call(*core_);
  core_->ResetCounts();
}

std::size_t EmulatedKernel::DeviceTransfers(std::string_view camera) const {
  const CoreCall call(*core_);
  return core_->DeviceTransfers(std::string(camera));
}

std::string EmulatedKernel::NodePath(std::string_view camera) const {
  const CoreCall call(*core_);
  return core_->NodePath(std::string(camera));
}

}  // namespace korvane::v4l2::emulation
