#include "platform/v4l2/emulation/KernelCore.h"

#include <malloc.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <limits>

namespace korvane::v4l2::emulation {
namespace {

std::size_t PageAligned(std::size_t length) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return (length + page - 1) / page * page;
}

// Another program's change of the file, told to this process's open files as the driver tells
// one open file of a write made through another: the controls written in one request get
// V4L2_EVENT_CTRL_CH_VALUE (with CH_FLAGS where their automatic companion was written in the
// same request), and the controls whose companion was written without them get CH_FLAGS and
// CH_VALUE, since their state may have turned (uvc_ctrl_send_events and
// uvc_ctrl_send_slave_event in drivers/media/usb/uvc/uvc_ctrl.c). The change of the file is
// the request.
std::vector<ControlChange> ChangesOf(const UvcCamera& camera, const CameraDescription& next) {
  std::set<std::uint32_t> written;
  for (const ControlDescription& control : next.controls) {
    const auto before = camera.Value(control.id);
    if (before && *before != control.value) written.insert(control.id);
  }
  std::vector<ControlChange> changes;
  for (const ControlDescription& control : next.controls) {
    if (written.contains(control.id)) {
      const bool withCompanion = control.master != 0 && written.contains(control.master);
      changes.push_back({control.id,
                         V4L2_EVENT_CTRL_CH_VALUE | (withCompanion ? V4L2_EVENT_CTRL_CH_FLAGS : 0u),
                         true});
    } else if (control.master != 0 && written.contains(control.master)) {
      changes.push_back({control.id, V4L2_EVENT_CTRL_CH_FLAGS | V4L2_EVENT_CTRL_CH_VALUE, true});
    }
  }
  return changes;
}

}  // namespace

std::uint32_t Device::HighestPriority() const {
  for (std::uint32_t priority = V4L2_PRIORITY_RECORD; priority > V4L2_PRIORITY_UNSET; --priority) {
    if (priorities[priority] > 0) return priority;
  }
  return V4L2_PRIORITY_UNSET;
}

OpenFile::OpenFile(std::shared_ptr<Device> device, bool metadata)
    : device_(std::move(device)), metadata_(metadata), priority_(V4L2_PRIORITY_DEFAULT) {
  ++device_->priorities[priority_];
  device_->files.push_back(this);
}

OpenFile::~OpenFile() {
  --device_->priorities[priority_];
  std::erase(device_->files, this);
  if (device_->streamHolder == this) device_->streamHolder = nullptr;
  device_->capture.Release(this);
  device_->metadata.Release(this);
}

void OpenFile::SetPriority(std::uint32_t priority) {
  --device_->priorities[priority_];
  priority_ = priority;
  ++device_->priorities[priority_];
}

KernelCore::Mapping::Mapping(void* at, std::size_t bytes, std::shared_ptr<BufferMemory> buffer,
                             std::shared_ptr<OpenFile> owner)
    : address(at), length(bytes), memory(std::move(buffer)), file(std::move(owner)) {}

KernelCore::Mapping::~Mapping() {
  ::munmap(address, length);
}

KernelCore::KernelCore(std::unique_ptr<EmulationFile> file)
    : file_(std::move(file)), claims_(file_ ? file_->Path() : std::filesystem::path()) {
  if (file_) users_ = std::make_unique<NodeUsers>(file_->Path());
}

KernelCore::~KernelCore() {
  // Mappings first: each may hold the last reference of an open file.
  mappings_.clear();
  files_.clear();
  PublishOpens();
}

// ---- the cameras of the file --------------------------------------------------------------

KernelCore::Camera* KernelCore::Find(const std::string& id) {
  for (Camera& camera : cameras_) {
    if (camera.uvc && camera.uvc->Description().id == id) return &camera;
  }
  return nullptr;
}

void KernelCore::Apply(ParsedDescription parsed) {
  std::vector<Camera> next;
  for (CameraDescription& description : parsed.description.cameras) {
    Camera* known = Find(description.id);
    if (!known) {
      next.push_back({std::make_shared<UvcCamera>(std::move(description)), nullptr});
      continue;
    }
    Camera camera = std::move(*known);  // leaves the old entry empty
    if (!(camera.uvc->Description() == description)) {
      const std::vector<ControlChange> changed = ChangesOf(*camera.uvc, description);
      const bool replugged = camera.uvc->Description().plugs != description.plugs;
      camera.uvc->Replace(std::move(description));
      if (camera.device) Announce(*camera.device, nullptr, changed);
      // Plugged in again below, under new node numbers.
      if (replugged) Unplug(camera);
    }
    next.push_back(std::move(camera));
  }
  // Cameras no longer in the file are unplugged.
  for (Camera& gone : cameras_) {
    if (gone.uvc) Unplug(gone);
  }
  cameras_ = std::move(next);
  for (Camera& camera : cameras_) MatchPresence(camera);
}

std::string KernelCore::Sync() {
  if (!file_) return {};
  // Before the look, so that a change made after it leaves the watch readable.
  if (fileWatched_) fileChanges_.Drain();
  std::string fault;
  switch (file_->Check(&fault)) {
    case EmulationFile::Status::kUnchanged:
      return lastReport_;
    case EmulationFile::Status::kChanged:
      try {
        Apply(ParseDescription(file_->Text()));
        PublishOpens();
        // The parsed document was many small pieces, freed now; the C library keeps freed
        // memory for itself unless asked, and a long-running watcher should not hold it.
        ::malloc_trim(0);
        lastReport_.clear();
        return {};
      } catch (const DescriptionError& error) {
        fault = "file \"" + file_->Path().string() + "\", " + error.what();
      }
      break;
    case EmulationFile::Status::kUnusable:
      break;
  }
  Apply({});
  PublishOpens();
  Report(fault);
  return fault;
}

void KernelCore::Report(const std::string& fault) {
  if (fault == lastReport_) return;
  lastReport_ = fault;
  if (reportFaults_) {
    std::cerr << "korvane: emulated Video4Linux2 cameras: " << fault
              << "; no emulated cameras until it is repaired\n";
  }
}

std::set<int> KernelCore::ReservedNodes() const {
  std::set<int> reserved;
  for (const Camera& camera : cameras_) {
    const CameraDescription& description = camera.uvc->Description();
    if (!description.node) continue;
    reserved.insert(*description.node);
    if (description.metadataNode) reserved.insert(*description.node + 1);
  }
  return reserved;
}

int KernelCore::FreeNode(const std::set<int>& reserved) const {
  int node = 0;
  while (usedNodes_.contains(node) || reserved.contains(node)) ++node;
  return node;
}

// A camera gets the node numbers its file asks for the first time it is plugged in, and new
// ones whenever it comes back, as after a real unplug.
void KernelCore::Plug(Camera& camera) {
  const CameraDescription& description = camera.uvc->Description();
  auto device = std::make_shared<Device>();
  device->camera = camera.uvc;
  device->plugOrder = ++plugs_;
  const bool wantedFree = description.node && !usedNodes_.contains(*description.node) &&
                          !(description.metadataNode && usedNodes_.contains(*description.node + 1));
  const std::set<int> reserved = ReservedNodes();
  device->captureNode = wantedFree ? *description.node : FreeNode(reserved);
  usedNodes_.insert(device->captureNode);
  if (description.metadataNode) {
    device->metadataNode = wantedFree ? *description.node + 1 : FreeNode(reserved);
    usedNodes_.insert(device->metadataNode);
  }
  camera.uvc->Plugged();
  camera.device = std::move(device);
}

void KernelCore::Unplug(Camera& camera) {
  if (!camera.device) return;
  claims_.Release(camera.uvc->Description().id);
  camera.device->registered = false;
  camera.device.reset();
}

void KernelCore::MatchPresence(Camera& camera) {
  const bool present = camera.uvc->Description().present;
  if (present && !camera.device) Plug(camera);
  if (!present && camera.device) Unplug(camera);
}

// ---- device state written back --------------------------------------------------------------

int KernelCore::Persist(const std::string& id, const UvcCamera::State& before) {
  try {
    return Store(id, before);
  } catch (const nlohmann::json::exception& error) {
    // The document no longer matches the cameras; nothing is written over the file then.
    std::cerr << "korvane: emulated Video4Linux2 cameras: " << error.what()
              << "; the change is not stored\n";
    if (Camera* again = Find(id)) again->uvc->Restore(before);
    return EIO;
  }
}

int KernelCore::Store(const std::string& id, const UvcCamera::State& before) {
  Camera* camera = Find(id);
  if (!camera) return 0;
  const UvcCamera::State after = camera->uvc->Save();
  if (after == before || !file_) return 0;
  // Only what changed is written into the file's own document, so the rest of the user's file
  // stays as written. The document is parsed from the file for the write and let go after it:
  // kept, it would take many times the file's size for as long as the cameras live.
  const auto store = [&](nlohmann::ordered_json& document, const Camera& target,
                         const UvcCamera::State& state) {
    const auto index = static_cast<std::size_t>(&target - cameras_.data());
    const CameraDescription& description = target.uvc->Description();
    for (std::size_t i = 0; i < description.controls.size() && i < state.values.size(); ++i) {
      if (i >= before.values.size() || state.values[i] != before.values[i]) {
        StoreValue(document, index, description.controls[i].jsonIndex, state.values[i]);
      }
    }
    if (!(state.current == before.current)) StoreCurrent(document, index, state.current);
    if (state.present != before.present) StorePresent(document, index, state.present);
  };

  const std::string failure = file_->Update([&](const std::string& latest,
                                                std::string* fault) -> std::optional<std::string> {
    if (latest == file_->Text()) {
      auto document = nlohmann::ordered_json::parse(latest);
      store(document, *camera, after);
      return RenderDocument(document);
    }
    // Another program wrote since: its file is the state this change applies to.
    ParsedDescription parsed;
    try {
      parsed = ParseDescription(latest);
    } catch (const DescriptionError& error) {
      *fault =
          "file \"" + file_->Path().string() + "\" was changed into a broken one, " + error.what();
      return std::nullopt;
    }
    nlohmann::ordered_json document = std::move(parsed.document);
    Apply(std::move(parsed));
    Camera* again = Find(id);
    if (!again || again->uvc->Description().controls.size() != after.values.size()) {
      *fault = "camera \"" + id + "\" was changed by another program";
      return std::nullopt;
    }
    UvcCamera::State merged = again->uvc->Save();
    for (std::size_t i = 0; i < after.values.size(); ++i) {
      if (after.values[i] != before.values[i]) merged.values[i] = after.values[i];
    }
    if (!(after.current == before.current)) merged.current = after.current;
    if (after.present != before.present) merged.present = after.present;
    again->uvc->Restore(merged);
    store(document, *again, merged);
    MatchPresence(*again);
    return RenderDocument(document);
  });
  if (failure.empty()) return 0;
  std::cerr << "korvane: emulated Video4Linux2 cameras: " << failure
            << "; the change is not stored\n";
  if (Camera* again = Find(id)) {
    again->uvc->Restore(before);
    MatchPresence(*again);
  }
  return EIO;
}

// ---- plugging in -----------------------------------------------------------------------------

int KernelCore::WatchDevices() {
  // Cameras kept in memory change only through this process's own calls.
  if (!file_) return -ENOTSUP;
  DeviceWatch watch;
  if (const int error = watch.file.Start(file_->Path()); error != 0) return -error;
  Sync();
  watch.seen = Files().DevicePaths();
  const int fd = watch.file.Descriptor();
  watches_.emplace(fd, std::move(watch));
  return fd;
}

int KernelCore::ReadDeviceWatch(int watch, std::vector<std::string>* appeared) {
  const auto found = watches_.find(watch);
  if (found == watches_.end()) return -EBADF;
  if (const int error = found->second.file.Drain(); error != 0) return -error;
  Sync();
  std::map<std::string, int> now = Files().DevicePaths();
  for (const auto& [path, node] : now) {
    const auto before = found->second.seen.find(path);
    if (before == found->second.seen.end() || before->second != node) appeared->push_back(path);
  }
  found->second.seen = std::move(now);
  return 0;
}

int KernelCore::CloseDeviceWatch(int watch) {
  return watches_.erase(watch) ? 0 : -EBADF;
}

// ---- other programs' opens ------------------------------------------------------------------

void KernelCore::PublishOpens() {
  if (!users_) return;
  NodeUsers::Counts open;
  for (const Camera& camera : cameras_) {
    if (!camera.device) continue;
    for (const OpenFile* file : camera.device->files) {
      ++open[NodeUsers::Key(camera.uvc->Description().id, file->Metadata())];
    }
  }
  if (const int error = users_->Publish(open); error != 0) {
    std::cerr << "korvane: emulated Video4Linux2 cameras: cannot tell other programs of the "
                 "open cameras in "
              << users_->Folder().string() << ": " << std::strerror(error) << "\n";
  }
}

int KernelCore::WatchOpens(const std::string& path) {
  if (!users_) return -ENOTSUP;
  Sync();
  const int node = Files().Resolve(path);
  for (const Camera& camera : cameras_) {
    if (!camera.device ||
        (camera.device->captureNode != node && camera.device->metadataNode != node)) {
      continue;
    }
    std::error_code error;
    std::filesystem::create_directories(users_->Folder(), error);
    if (error) return -error.value();
    OpenWatch watch;
    if (const int failed = watch.folder.Start(users_->Folder() / "opens"); failed != 0) {
      return -failed;
    }
    watch.node = NodeUsers::Key(camera.uvc->Description().id, node == camera.device->metadataNode);
    const int fd = watch.folder.Descriptor();
    openWatches_.emplace(fd, std::move(watch));
    return fd;
  }
  return -ENOENT;
}

int KernelCore::ReadOpenWatch(int watch, int* othersOpen) {
  const auto found = openWatches_.find(watch);
  if (found == openWatches_.end()) return -EBADF;
  if (const int error = found->second.folder.Drain(); error != 0) return -error;
  *othersOpen = users_->Others(found->second.node);
  return 0;
}

int KernelCore::OpenWatchHolders(int watch, std::vector<int>* pids) {
  const auto found = openWatches_.find(watch);
  if (found == openWatches_.end()) return -EBADF;
  const std::vector<pid_t> holders = users_->OtherProcesses(found->second.node);
  pids->assign(holders.begin(), holders.end());
  return 0;
}

int KernelCore::CloseOpenWatch(int watch) {
  return openWatches_.erase(watch) ? 0 : -EBADF;
}

// ---- descriptors and calls ----------------------------------------------------------------

std::shared_ptr<OpenFile> KernelCore::Lookup(int fd) const {
  const auto found = files_.find(fd);
  return found == files_.end() ? nullptr : found->second.file;
}

VirtualFiles KernelCore::Files() const {
  std::vector<NodeView> nodes;
  for (const Camera& camera : cameras_) {
    if (!camera.device) continue;
    const Device& device = *camera.device;
    nodes.push_back({device.captureNode, false, &camera.uvc->Description(), device.plugOrder});
    if (device.metadataNode >= 0) {
      nodes.push_back({device.metadataNode, true, &camera.uvc->Description(), device.plugOrder});
    }
  }
  return VirtualFiles(std::move(nodes));
}

bool KernelCore::Interrupted(const Device* device) {
  if (interruptions_ > 0) {
    --interruptions_;
    return true;
  }
  return device && device->registered && device->camera->CameraFirmware().TakeInterruption();
}

int KernelCore::Open(const std::string& path, int /*flags*/) {
  Sync();
  const int node = Files().Resolve(path);
  Camera* owner = nullptr;
  for (Camera& camera : cameras_) {
    if (camera.device &&
        (camera.device->captureNode == node || camera.device->metadataNode == node)) {
      owner = &camera;
    }
  }
  if (Interrupted(owner ? owner->device.get() : nullptr)) return -EINTR;
  if (!owner) return -ENOENT;
  if (owner->uvc->Description().accessDenied) return -EACCES;
  // Without the watch, another program's change is still seen at the next call; only a wait
  // on the descriptor alone would not end for it.
  if (file_ && !fileWatched_) fileWatched_ = fileChanges_.Start(file_->Path()) == 0;
  int error = 0;
  std::unique_ptr<Readiness> readiness =
      Readiness::Create(fileWatched_ ? fileChanges_.Descriptor() : -1, &error);
  if (!readiness) return -error;
  const int fd = readiness->Fd();
  files_[fd] = {std::make_shared<OpenFile>(owner->device, node == owner->device->metadataNode),
                std::move(readiness)};
  PublishOpens();
  return fd;
}

int KernelCore::Close(int fd) {
  if (!files_.erase(fd)) return -EBADF;
  SettleClaims();
  PublishOpens();
  return 0;
}

void KernelCore::SettleClaims() {
  for (const Camera& camera : cameras_) {
    const std::string& id = camera.uvc->Description().id;
    const Device* device = camera.device.get();
    if (claims_.Holds(id) && !(device && (device->streamHolder || device->capture.Allocated()))) {
      claims_.Release(id);
    }
  }
}

short KernelCore::PollMask(const pollfd& entry) const {
  if (entry.fd < 0) return 0;
  const std::shared_ptr<OpenFile> file = Lookup(entry.fd);
  if (!file) {
    pollfd own{entry.fd, entry.events, 0};  // one of the process's own descriptors
    return ::poll(&own, 1, 0) < 0 ? POLLNVAL : own.revents;
  }
  short mask = 0;
  if (!file->Dev().registered) {
    mask = POLLERR | POLLHUP | POLLPRI;
  } else {
    if (file->Events().Pending()) mask |= POLLPRI;
    // A capture queue that is not streaming has nothing to wait for.
    if ((entry.events & (POLLIN | POLLRDNORM)) && !file->Queue().Streaming()) mask |= POLLERR;
    const auto next = file->Queue().NextFrameAt();
    if (next && std::chrono::steady_clock::now() >= *next) mask |= POLLIN | POLLRDNORM;
  }
  return static_cast<short>(mask & (entry.events | POLLERR | POLLHUP | POLLNVAL));
}

std::optional<Readiness::Clock::time_point> KernelCore::WakeTime(const OpenFile& file) {
  if (!file.Dev().registered || file.Events().Pending()) return Readiness::Clock::time_point{};
  // Frames wake only the file whose buffers they fill: a program that merely watches the
  // controls of a camera another program streams is not woken thirty times a second.
  const BufferQueue& queue = file.Queue();
  if (queue.Allocated() && !queue.OwnedByAnother(&file)) return queue.NextFrameAt();
  return std::nullopt;
}

void KernelCore::RefreshReadiness() {
  for (auto& [fd, descriptor] : files_) descriptor.readiness->WakeAt(WakeTime(*descriptor.file));
}

int KernelCore::Poll(pollfd* fds, nfds_t count, int timeoutMs, std::unique_lock<std::mutex>& lock) {
  if (count > 0 && !fds) return -EFAULT;
  Sync();
  const Device* device = nullptr;
  for (nfds_t i = 0; i < count && !device; ++i) {
    if (const auto file = Lookup(fds[i].fd)) device = &file->Dev();
  }
  if (Interrupted(device)) return -EINTR;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<pollfd> waits(count);
  while (true) {
    int ready = 0;
    for (nfds_t i = 0; i < count; ++i) {
      fds[i].revents = PollMask(fds[i]);
      if (fds[i].revents != 0) ++ready;
    }
    if (ready > 0 || timeoutMs == 0) return ready;
    const auto now = Clock::now();
    if (timeoutMs > 0 && now >= deadline) return 0;
    // One wait of the system on every descriptor, emulated ones included, this kernel's lock
    // let go meanwhile: an emulated descriptor turns readable when it may have news (see
    // WakeTime), and then everything is looked at again. A frame due on a descriptor that
    // does not own its queue wakes nothing by itself, so the wait ends for it here.
    auto wakeAt = timeoutMs < 0 ? Clock::time_point::max() : deadline;
    for (nfds_t i = 0; i < count; ++i) {
      const std::shared_ptr<OpenFile> file = Lookup(fds[i].fd);
      waits[i] = {fds[i].fd, file ? short{POLLIN} : fds[i].events, 0};
      if (!file || !(fds[i].events & (POLLIN | POLLRDNORM))) continue;
      if (const auto next = file->Queue().NextFrameAt()) wakeAt = std::min(wakeAt, *next);
    }
    const int wait =
        wakeAt == Clock::time_point::max()
            ? -1
            : static_cast<int>(std::max<std::int64_t>(
                  std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now).count(), 0));
    RefreshReadiness();
    lock.unlock();
    const int woken = ::poll(waits.data(), count, wait);
    const int error = errno;
    lock.lock();
    if (woken < 0) return -error;
    Sync();
  }
}

void* KernelCore::Mmap(std::size_t length, int protection, int flags, int fd, off_t offset,
                       int* error) {
  Sync();
  const std::shared_ptr<OpenFile> file = Lookup(fd);
  *error = 0;
  if (!file) {
    *error = EBADF;
  } else if (Interrupted(&file->Dev())) {
    *error = EINTR;
  } else if (!file->Dev().registered) {
    *error = ENODEV;
  }
  if (*error) return MAP_FAILED;
  // Buffers of a capture queue are mapped shared and readable, whole pages at a buffer's offset.
  std::shared_ptr<BufferMemory> memory;
  if ((flags & MAP_SHARED) && (protection & PROT_READ) && offset >= 0 &&
      offset <= std::numeric_limits<std::uint32_t>::max()) {
    memory = file->Queue().MemoryAt(static_cast<std::uint32_t>(offset));
  }
  if (!memory || length == 0 || PageAligned(length) > memory->Length()) {
    *error = EINVAL;
    return MAP_FAILED;
  }
  void* address = ::mmap(nullptr, length, protection, MAP_SHARED, memory->Fd(), 0);
  if (address == MAP_FAILED) {
    *error = errno;
    return MAP_FAILED;
  }
  mappings_[address] = std::make_unique<Mapping>(address, length, std::move(memory), file);
  return address;
}

int KernelCore::Munmap(void* address, std::size_t length) {
  if (Interrupted(nullptr)) return -EINTR;
  const auto found = mappings_.find(address);
  // Only whole mappings made here are undone; any other address is not ours to unmap.
  if (found == mappings_.end() || PageAligned(length) != PageAligned(found->second->length)) {
    return -EINVAL;
  }
  mappings_.erase(found);
  PublishOpens();
  return 0;
}

int KernelCore::ListDirectory(const std::string& path, std::vector<std::string>* names) {
  Sync();
  if (Interrupted(nullptr)) return -EINTR;
  return -Files().ListDirectory(path, names);
}

int KernelCore::ReadLink(const std::string& path, std::string* target) {
  Sync();
  if (Interrupted(nullptr)) return -EINTR;
  return -Files().ReadLink(path, target);
}

int KernelCore::ReadTextFile(const std::string& path, std::string* contents) {
  Sync();
  if (Interrupted(nullptr)) return -EINTR;
  return -Files().ReadTextFile(path, contents);
}

// ---- events ---------------------------------------------------------------------------------

void KernelCore::Announce(Device& device, const OpenFile* origin,
                          const std::vector<ControlChange>& changes) {
  for (const ControlChange& change : changes) {
    v4l2_event event{};
    event.type = V4L2_EVENT_CTRL;
    event.id = change.id;
    if (!device.camera->Controls().EventPayload(change.id, &event.u.ctrl)) continue;
    event.u.ctrl.changes = change.changes;
    for (OpenFile* file : device.files) {
      const auto flags = file->Events().Flags(V4L2_EVENT_CTRL, change.id);
      if (!flags) continue;
      const bool feedback = (*flags & V4L2_EVENT_SUB_FL_ALLOW_FEEDBACK) != 0;
      if (file == origin && !change.toOriginator && !feedback) continue;
      file->Events().Queue(event);
    }
  }
}

// ---- what tests and other programs do -------------------------------------------------------

void KernelCore::SetPresent(const std::string& id, bool present) {
  Sync();
  Camera* camera = Find(id);
  if (!camera) return;
  const UvcCamera::State before = camera->uvc->Save();
  camera->uvc->SetPresent(present);
  Persist(id, before);
  if ((camera = Find(id))) MatchPresence(*camera);
}

void KernelCore::Replug(const std::string& id) {
  Sync();
  if (Camera* camera = Find(id)) Unplug(*camera);
  SetPresent(id, true);
  if (Camera* camera = Find(id)) MatchPresence(*camera);
}

std::optional<std::int32_t> KernelCore::ControlValue(const std::string& id, std::uint32_t control) {
  Sync();
  Camera* camera = Find(id);
  return camera ? camera->uvc->Value(control) : std::nullopt;
}

void KernelCore::SetControlValue(const std::string& id, std::uint32_t control, std::int32_t value) {
  Sync();
  Camera* camera = Find(id);
  if (!camera) return;
  const UvcCamera::State before = camera->uvc->Save();
  if (!camera->uvc->SetValue(control, value) || Persist(id, before) != 0) return;
  camera = Find(id);
  if (camera && camera->device) {
    Announce(*camera->device, nullptr, {{control, V4L2_EVENT_CTRL_CH_VALUE, true}});
  }
}

std::size_t KernelCore::IoctlCount(unsigned long request) const {
  const auto found = ioctlCounts_.find(request);
  return found == ioctlCounts_.end() ? 0 : found->second;
}

std::size_t KernelCore::IoctlCount() const {
  std::size_t total = 0;
  for (const auto& [request, count] : ioctlCounts_) total += count;
  return total;
}

void KernelCore::ResetCounts() {
  ioctlCounts_.clear();
  for (Camera& camera : cameras_) camera.uvc->CameraFirmware().ResetTransfers();
}

std::size_t KernelCore::DeviceTransfers(const std::string& id) {
  Camera* camera = Find(id);
  return camera ? camera->uvc->CameraFirmware().Transfers() : 0;
}

std::string KernelCore::NodePath(const std::string& id) {
  Sync();
  Camera* camera = Find(id);
  return camera && camera->device ? "/dev/video" + std::to_string(camera->device->captureNode)
                                  : std::string();
}

}  // namespace korvane::v4l2::emulation
