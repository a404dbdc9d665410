// The ioctls of the emulated device nodes: one table of what each node answers, walked by
// the dispatch, with the core's rules applied in the kernel's order (bad descriptor, unplugged
// device, bad argument pointer, unknown request, priority) before the driver sees a call.

#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/v4l2/emulation/CameraFilm.h"
#include "platform/v4l2/emulation/KernelCore.h"
#include "platform/v4l2/emulation/V4l2Abi.h"

namespace korvane::v4l2::emulation {
namespace {

// What the UVC driver reserves for one buffer of payload header metadata.
constexpr std::uint32_t kMetadataBufferSize = 10 * 1024;

struct IoctlCall {
  KernelCore& core;
  OpenFile& file;
  UvcCamera& camera;
  std::vector<ControlChange> changes;
};

using Handler = int (*)(IoctlCall&, void*);

enum Nodes : std::uint8_t { kCapture = 1, kMetadata = 2, kBoth = 3 };

// What a call needs of the capture stream's privileges, on a driver that has them.
enum class Stream : std::uint8_t {
  kFree,  // any open file
  kTake,  // takes them for its file unless another file holds them
  kHold,  // only the file that holds them
};

struct IoctlEntry {
  unsigned long request;
  std::uint8_t nodes;
  bool priority;  // refused while another open file holds a higher priority
  bool changesState;
  Stream stream;
  Handler handler;
};

template <class T>
T& As(void* argument) {
  return *static_cast<T*>(argument);
}

// The core's checks of a control request before the driver gets it: a bounded array that is
// there, and one class of controls or the current or default values.
int CheckControls(v4l2_ext_controls& request, unsigned long ioctl) {
  if (request.count > V4L2_CID_MAX_CTRLS) return EINVAL;
  if (request.count > 0 && !request.controls) return EFAULT;
  request.reserved[0] = 0;
  switch (request.which) {
    case V4L2_CTRL_WHICH_CUR_VAL:
      return 0;
    case V4L2_CTRL_WHICH_DEF_VAL:
      if (ioctl == VIDIOC_G_EXT_CTRLS) return 0;
      request.error_idx = request.count;
      return EINVAL;
    case V4L2_CTRL_WHICH_REQUEST_VAL:
      request.error_idx = request.count;
      return EINVAL;
    default:
      for (std::uint32_t i = 0; i < request.count; ++i) {
        if (V4L2_CTRL_ID2WHICH(request.controls[i].id) != request.which) {
          request.error_idx = ioctl == VIDIOC_TRY_EXT_CTRLS ? i : request.count;
          return EINVAL;
        }
      }
      return 0;
  }
}

// ---- identity, formats ----------------------------------------------------------------------

int QueryCapabilities(IoctlCall& call, void* argument) {
  call.camera.QueryCapabilities(As<v4l2_capability>(argument), call.file.Metadata());
  return 0;
}

int EnumerateFormats(IoctlCall& call, void* argument) {
  auto& format = As<v4l2_fmtdesc>(argument);
  if (!call.file.Metadata()) return call.camera.Formats().Enumerate(format);
  if (format.type != V4L2_BUF_TYPE_META_CAPTURE || format.index != 0) return EINVAL;
  format = v4l2_fmtdesc{0, V4L2_BUF_TYPE_META_CAPTURE, 0, {}, V4L2_META_FMT_UVC, 0, {}};
  std::strcpy(reinterpret_cast<char*>(format.description), "UVC Payload Header Metadata");
  return 0;
}

// The metadata node has one format, whatever is asked.
int MetadataFormat(IoctlCall& call, v4l2_format& format, bool store) {
  if (format.type != V4L2_BUF_TYPE_META_CAPTURE) return EINVAL;
  if (store && call.file.Queue().Allocated()) return EBUSY;
  std::memset(&format.fmt, 0, sizeof(format.fmt));
  format.fmt.meta.dataformat = V4L2_META_FMT_UVC;
  format.fmt.meta.buffersize = kMetadataBufferSize;
  return 0;
}

int GetFormat(IoctlCall& call, void* argument) {
  auto& format = As<v4l2_format>(argument);
  if (call.file.Metadata()) return MetadataFormat(call, format, false);
  if (format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return EINVAL;
  std::memset(&format.fmt, 0, sizeof(format.fmt));
  call.camera.Formats().Fill(call.camera.Formats().Current(), format.fmt.pix);
  return 0;
}

// Trying a format is a negotiation with the camera, as costly as setting it.
int TryFormat(IoctlCall& call, void* argument) {
  auto& format = As<v4l2_format>(argument);
  if (call.file.Metadata()) return MetadataFormat(call, format, false);
  if (format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return EINVAL;
  const CurrentFormat chosen = call.camera.Formats().Nearest(format.fmt.pix);
  call.camera.CameraFirmware().Probe();
  std::memset(&format.fmt, 0, sizeof(format.fmt));
  call.camera.Formats().Fill(chosen, format.fmt.pix);
  return 0;
}

int SetFormat(IoctlCall& call, void* argument) {
  auto& format = As<v4l2_format>(argument);
  if (call.file.Metadata()) return MetadataFormat(call, format, true);
  if (format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return EINVAL;
  // No format change while any open file holds buffers, its owner included.
  if (call.file.Queue().Allocated()) return EBUSY;
  const CurrentFormat chosen = call.camera.Formats().Nearest(format.fmt.pix);
  call.camera.CameraFirmware().Probe();
  call.camera.Formats().Store(chosen);
  std::memset(&format.fmt, 0, sizeof(format.fmt));
  call.camera.Formats().Fill(chosen, format.fmt.pix);
  return 0;
}

void FillStreamParameters(const CurrentFormat& current, v4l2_streamparm& parameters) {
  std::memset(&parameters.parm, 0, sizeof(parameters.parm));
  parameters.parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
  parameters.parm.capture.timeperframe = {current.interval.numerator, current.interval.denominator};
}

int GetStreamParameters(IoctlCall& call, void* argument) {
  auto& parameters = As<v4l2_streamparm>(argument);
  if (parameters.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return EINVAL;
  FillStreamParameters(call.camera.Formats().Current(), parameters);
  return 0;
}

int SetStreamParameters(IoctlCall& call, void* argument) {
  auto& parameters = As<v4l2_streamparm>(argument);
  if (parameters.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return EINVAL;
  // The frame rate is negotiated again unless the camera streams, whoever holds the buffers.
  if (call.file.Queue().Streaming()) return EBUSY;
  const CurrentFormat chosen =
      call.camera.Formats().WithInterval(parameters.parm.capture.timeperframe);
  call.camera.CameraFirmware().Probe();
  call.camera.Formats().Store(chosen);
  FillStreamParameters(chosen, parameters);
  return 0;
}

int EnumerateSizes(IoctlCall& call, void* argument) {
  return call.camera.Formats().EnumerateSizes(As<v4l2_frmsizeenum>(argument));
}

int EnumerateIntervals(IoctlCall& call, void* argument) {
  return call.camera.Formats().EnumerateIntervals(As<v4l2_frmivalenum>(argument));
}

// A UVC camera without a selector unit has one input, its camera terminal.
int EnumerateInputs(IoctlCall&, void* argument) {
  auto& input = As<v4l2_input>(argument);
  if (input.index != 0) return EINVAL;
  const std::uint32_t index = input.index;
  input = v4l2_input{};
  input.index = index;
  std::strcpy(reinterpret_cast<char*>(input.name), "Camera 1");
  input.type = V4L2_INPUT_TYPE_CAMERA;
  return 0;
}

int GetInput(IoctlCall&, void* argument) {
  As<std::uint32_t>(argument) = 0;
  return 0;
}

int SetInput(IoctlCall& call, void* argument) {
  if (call.camera.Description().firmware.streamRule == StreamRule::kQueueOwner &&
      call.file.Queue().Allocated()) {
    return EBUSY;
  }
  return As<std::uint32_t>(argument) == 0 ? 0 : EINVAL;
}

// ---- controls -------------------------------------------------------------------------------

int QueryControl(IoctlCall& call, void* argument) {
  return call.camera.Controls().Query(As<v4l2_queryctrl>(argument));
}

int QueryExtendedControl(IoctlCall& call, void* argument) {
  return call.camera.Controls().QueryExtended(As<v4l2_query_ext_ctrl>(argument));
}

int QueryMenu(IoctlCall& call, void* argument) {
  return call.camera.Controls().QueryMenu(As<v4l2_querymenu>(argument));
}

int GetControls(IoctlCall& call, void* argument) {
  auto& request = As<v4l2_ext_controls>(argument);
  if (const int error = CheckControls(request, VIDIOC_G_EXT_CTRLS)) return error;
  return call.camera.Controls().Get(request);
}

int SetControls(IoctlCall& call, void* argument) {
  auto& request = As<v4l2_ext_controls>(argument);
  if (const int error = CheckControls(request, VIDIOC_S_EXT_CTRLS)) return error;
  return call.camera.Controls().Set(request, true, &call.changes);
}

int TryControls(IoctlCall& call, void* argument) {
  auto& request = As<v4l2_ext_controls>(argument);
  if (const int error = CheckControls(request, VIDIOC_TRY_EXT_CTRLS)) return error;
  return call.camera.Controls().Set(request, false, nullptr);
}

// The single-control calls are the extended ones with one control, as the core makes them.
int SingleControl(IoctlCall& call, void* argument, Handler extended) {
  auto& control = As<v4l2_control>(argument);
  v4l2_ext_control one{};
  one.id = control.id;
  one.value = control.value;
  v4l2_ext_controls request{};
  request.which = V4L2_CTRL_ID2WHICH(control.id);
  request.count = 1;
  request.controls = &one;
  const int error = extended(call, &request);
  if (error == 0) control.value = one.value;
  return error;
}

int GetControl(IoctlCall& call, void* argument) {
  return SingleControl(call, argument, GetControls);
}

int SetControl(IoctlCall& call, void* argument) {
  return SingleControl(call, argument, SetControls);
}

// ---- priority and events --------------------------------------------------------------------

int GetPriority(IoctlCall& call, void* argument) {
  As<std::uint32_t>(argument) = call.file.Dev().HighestPriority();
  return 0;
}

int SetPriority(IoctlCall& call, void* argument) {
  const std::uint32_t priority = As<std::uint32_t>(argument);
  if (priority < V4L2_PRIORITY_BACKGROUND || priority > V4L2_PRIORITY_RECORD) return EINVAL;
  call.file.SetPriority(priority);
  return 0;
}

int SubscribeEvent(IoctlCall& call, void* argument) {
  const auto& subscription = As<v4l2_event_subscription>(argument);
  if (subscription.type != V4L2_EVENT_CTRL || !call.camera.Controls().Has(subscription.id)) {
    return EINVAL;
  }
  EventQueue& events = call.file.Events();
  if (!events.Subscribe(subscription.type, subscription.id, subscription.flags)) return 0;
  if (subscription.flags & V4L2_EVENT_SUB_FL_SEND_INITIAL) {
    v4l2_event initial{};
    initial.type = V4L2_EVENT_CTRL;
    initial.id = subscription.id;
    call.camera.Controls().EventPayload(subscription.id, &initial.u.ctrl);
    initial.u.ctrl.changes = V4L2_EVENT_CTRL_CH_FLAGS;
    std::int32_t value = 0;
    if (call.camera.Controls().Read(subscription.id, &value) == 0) {
      initial.u.ctrl.changes |= V4L2_EVENT_CTRL_CH_VALUE;
      initial.u.ctrl.value = value;
    }
    events.Queue(initial);
  }
  return 0;
}

int UnsubscribeEvent(IoctlCall& call, void* argument) {
  const auto& subscription = As<v4l2_event_subscription>(argument);
  call.file.Events().Unsubscribe(subscription.type, subscription.id);
  return 0;
}

int DequeueEvent(IoctlCall& call, void* argument) {
  return call.file.Events().Dequeue(&As<v4l2_event>(argument));
}

// ---- buffers --------------------------------------------------------------------------------

std::size_t BufferSize(IoctlCall& call) {
  if (call.file.Metadata()) return kMetadataBufferSize;
  v4l2_pix_format pix{};
  call.camera.Formats().Fill(call.camera.Formats().Current(), pix);
  return pix.sizeimage;
}

int RequestBuffers(IoctlCall& call, void* argument) {
  auto& request = As<v4l2_requestbuffers>(argument);
  // The core clears what follows the flags before the driver sees the request.
  std::memset(request.reserved, 0, sizeof(request.reserved));
  const int error = call.file.Queue().Request(&call.file, request, BufferSize(call));
  // Freeing the buffers gives the stream back as closing the file does.
  if (error == 0 && request.count == 0 && call.file.Dev().streamHolder == &call.file) {
    call.file.Dev().streamHolder = nullptr;
  }
  return error;
}

int CreateBuffers(IoctlCall& call, void* argument) {
  auto& request = As<v4l2_create_buffers>(argument);
  std::memset(request.reserved, 0, sizeof(request.reserved));
  return call.file.Queue().Create(&call.file, request, BufferSize(call));
}

int QueryBuffer(IoctlCall& call, void* argument) {
  return call.file.Queue().Query(&call.file, As<v4l2_buffer>(argument));
}

int QueueBuffer(IoctlCall& call, void* argument) {
  return call.file.Queue().Queue(&call.file, As<v4l2_buffer>(argument));
}

int DequeueBuffer(IoctlCall& call, void* argument) {
  if (!call.file.Metadata() && call.file.Queue().Streaming() &&
      !call.file.Queue().OwnedByAnother(&call.file)) {
    if (const int pulled = call.camera.CameraFirmware().StreamTransfer()) return pulled;
  }
  return call.file.Queue().Dequeue(&call.file, As<v4l2_buffer>(argument));
}

int StreamOn(IoctlCall& call, void* argument) {
  FrameSource source;
  if (!call.file.Metadata()) {
    source = FilmAt(call.camera.Formats().Current(), call.camera.Description().frameFaults);
  }
  return call.file.Queue().StreamOn(&call.file, As<std::uint32_t>(argument), std::move(source));
}

int StreamOff(IoctlCall& call, void* argument) {
  return call.file.Queue().StreamOff(&call.file, As<std::uint32_t>(argument));
}

constexpr IoctlEntry kIoctls[] = {
    {VIDIOC_QUERYCAP, kBoth, false, false, Stream::kFree, QueryCapabilities},
    {VIDIOC_ENUM_FMT, kBoth, false, false, Stream::kFree, EnumerateFormats},
    {VIDIOC_G_FMT, kBoth, false, false, Stream::kFree, GetFormat},
    {VIDIOC_TRY_FMT, kBoth, false, false, Stream::kFree, TryFormat},
    {VIDIOC_S_FMT, kBoth, true, true, Stream::kTake, SetFormat},
    {VIDIOC_G_PARM, kCapture, false, false, Stream::kFree, GetStreamParameters},
    {VIDIOC_S_PARM, kCapture, true, true, Stream::kTake, SetStreamParameters},
    {VIDIOC_ENUM_FRAMESIZES, kCapture, false, false, Stream::kFree, EnumerateSizes},
    {VIDIOC_ENUM_FRAMEINTERVALS, kCapture, false, false, Stream::kFree, EnumerateIntervals},
    {VIDIOC_ENUMINPUT, kCapture, false, false, Stream::kFree, EnumerateInputs},
    {VIDIOC_G_INPUT, kCapture, false, false, Stream::kFree, GetInput},
    {VIDIOC_S_INPUT, kCapture, true, false, Stream::kTake, SetInput},
    {VIDIOC_QUERYCTRL, kCapture, false, false, Stream::kFree, QueryControl},
    {VIDIOC_QUERY_EXT_CTRL, kCapture, false, false, Stream::kFree, QueryExtendedControl},
    {VIDIOC_QUERYMENU, kCapture, false, false, Stream::kFree, QueryMenu},
    {VIDIOC_G_CTRL, kCapture, false, false, Stream::kFree, GetControl},
    {VIDIOC_S_CTRL, kCapture, true, true, Stream::kFree, SetControl},
    {VIDIOC_G_EXT_CTRLS, kCapture, false, false, Stream::kFree, GetControls},
    {VIDIOC_S_EXT_CTRLS, kCapture, true, true, Stream::kFree, SetControls},
    {VIDIOC_TRY_EXT_CTRLS, kCapture, false, false, Stream::kFree, TryControls},
    {VIDIOC_G_PRIORITY, kBoth, false, false, Stream::kFree, GetPriority},
    {VIDIOC_S_PRIORITY, kBoth, true, false, Stream::kFree, SetPriority},
    {VIDIOC_SUBSCRIBE_EVENT, kCapture, false, false, Stream::kFree, SubscribeEvent},
    {VIDIOC_UNSUBSCRIBE_EVENT, kCapture, false, false, Stream::kFree, UnsubscribeEvent},
    {VIDIOC_DQEVENT, kCapture, false, false, Stream::kFree, DequeueEvent},
    {VIDIOC_REQBUFS, kBoth, true, false, Stream::kTake, RequestBuffers},
    {VIDIOC_CREATE_BUFS, kBoth, true, false, Stream::kTake, CreateBuffers},
    {VIDIOC_QUERYBUF, kBoth, false, false, Stream::kHold, QueryBuffer},
    {VIDIOC_QBUF, kBoth, false, false, Stream::kHold, QueueBuffer},
    {VIDIOC_DQBUF, kBoth, false, false, Stream::kHold, DequeueBuffer},
    {VIDIOC_STREAMON, kBoth, true, false, Stream::kHold, StreamOn},
    {VIDIOC_STREAMOFF, kBoth, true, false, Stream::kHold, StreamOff},
};

const IoctlEntry* FindIoctl(unsigned long request, bool metadata) {
  for (const IoctlEntry& entry : kIoctls) {
    if (entry.request == request && (entry.nodes & (metadata ? kMetadata : kCapture))) {
      return &entry;
    }
  }
  return nullptr;
}

// The buffer type a stream call names, which the core checks against the node before the
// driver sees the call.
bool TypeFits(const IoctlEntry& entry, const OpenFile& file, const void* argument) {
  std::uint32_t type = 0;
  switch (entry.request) {
    case VIDIOC_S_FMT:
      type = static_cast<const v4l2_format*>(argument)->type;
      break;
    case VIDIOC_S_PARM:
      type = static_cast<const v4l2_streamparm*>(argument)->type;
      break;
    case VIDIOC_REQBUFS:
      type = static_cast<const v4l2_requestbuffers*>(argument)->type;
      break;
    case VIDIOC_CREATE_BUFS:
      type = static_cast<const v4l2_create_buffers*>(argument)->format.type;
      break;
    default:
      return true;
  }
  return type == (file.Metadata() ? V4L2_BUF_TYPE_META_CAPTURE : V4L2_BUF_TYPE_VIDEO_CAPTURE);
}

// The driver's privileges of a capture stream: one open file at a time may set its format,
// frame rate and input and hold its buffers. The metadata node's queue always has the buffer
// queue's own owner rule.
int CheckStreamPrivileges(const IoctlEntry& entry, OpenFile& file, const UvcCamera& camera,
                          const void* argument) {
  if (entry.stream == Stream::kFree || file.Metadata() || !TypeFits(entry, file, argument) ||
      camera.Description().firmware.streamRule != StreamRule::kPrivileges) {
    return 0;
  }
  Device& device = file.Dev();
  if (device.streamHolder == &file) return 0;
  if (entry.stream == Stream::kHold || device.streamHolder) return EBUSY;
  device.streamHolder = &file;
  return 0;
}

// A call that takes the capture stream (or, on the later line, is refused while another holds
// its buffers), which another program's stream of the same camera makes fail with EBUSY.
bool TakesStream(const IoctlEntry& entry, const OpenFile& file, const UvcCamera& camera,
                 const void* argument) {
  if (entry.stream != Stream::kTake || file.Metadata() || !TypeFits(entry, file, argument)) {
    return false;
  }
  // There the frame rate is refused only while the stream runs, which another program's
  // buffers alone do not tell.
  return !(camera.Description().firmware.streamRule == StreamRule::kQueueOwner &&
           entry.request == VIDIOC_S_PARM);
}

}  // namespace

int KernelCore::Ioctl(int fd, unsigned long request, void* argument) {
  ++ioctlCounts_[request];
  Sync();
  const std::shared_ptr<OpenFile> file = Lookup(fd);
  if (!file) return -EBADF;
  Device& device = file->Dev();
  if (Interrupted(&device)) return -EINTR;
  if (!device.registered) return -ENODEV;
  // The core copies an argument in or out only for a request that has a direction, before it
  // knows whether the request is one it has.
  if (!argument && _IOC_DIR(request) != _IOC_NONE && _IOC_SIZE(request) > 0) return -EFAULT;
  const IoctlEntry* entry = FindIoctl(request, file->Metadata());
  if (!entry) return -ENOTTY;
  if (entry->priority && file->Priority() < device.HighestPriority()) return -EBUSY;

  // The device (and with it the camera) stays the same for the whole call.
  const std::shared_ptr<UvcCamera> camera = device.camera;
  const std::string id = camera->Description().id;
  const UvcCamera::State before = entry->changesState ? camera->Save() : UvcCamera::State{};
  IoctlCall call{*this, *file, *camera, {}};
  if (TakesStream(*entry, *file, *camera, argument) && !claims_.Hold(id)) return -EBUSY;
  // Privileges taken stay with the file even when the call itself fails, as in the driver.
  int error = CheckStreamPrivileges(*entry, *file, *camera, argument);
  if (error == 0) error = entry->handler(call, argument);
  // What reached the camera is stored even when a later part of the request failed.
  if (entry->changesState && Persist(id, before) != 0) return -EIO;
  // A transfer failed as the cable was pulled: the device goes right after, as the USB core
  // disconnects it.
  if (camera->CameraFirmware().Pulled() && device.registered) SetPresent(id, false);
  if (error == 0 && device.registered) Announce(device, file.get(), call.changes);
  SettleClaims();
  return -error;
}

}  // namespace korvane::v4l2::emulation
