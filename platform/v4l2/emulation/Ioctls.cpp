// The ioctls of the emulated device nodes: one table of what each node answers, walked by
// the dispatch, with the core's rules applied in the kernel's order (bad descriptor, unplugged
// device, bad argument pointer, unknown request, priority) before the driver sees a call.

#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "platform/graph/MediaType.h"
#include "platform/sim/TestPicture.h"
#include "platform/v4l2/emulation/FilmingAhead.h"
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

struct IoctlEntry {
  unsigned long request;
  std::uint8_t nodes;
  bool priority;  // refused while another open file holds a higher priority
  bool changesState;
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
  const BufferQueue& queue = call.file.Queue();
  if (queue.OwnedByAnother(&call.file) || queue.Streaming()) return EBUSY;
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

int RequestBuffers(IoctlCall& call, void* argument) {
  v4l2_pix_format pix{};
  call.camera.Formats().Fill(call.camera.Formats().Current(), pix);
  const std::size_t size = call.file.Metadata() ? kMetadataBufferSize : pix.sizeimage;
  return call.file.Queue().Request(&call.file, As<v4l2_requestbuffers>(argument), size);
}

int QueryBuffer(IoctlCall& call, void* argument) {
  return call.file.Queue().Query(&call.file, As<v4l2_buffer>(argument));
}

int QueueBuffer(IoctlCall& call, void* argument) {
  return call.file.Queue().Queue(&call.file, As<v4l2_buffer>(argument));
}

int DequeueBuffer(IoctlCall& call, void* argument) {
  return call.file.Queue().Dequeue(&call.file, As<v4l2_buffer>(argument));
}

// The camera films the moving test picture at its current format and frame interval. Only
// YUYV and MJPG are filmed, as UVC cameras deliver them; another format streams no frames.
FrameSource FilmAt(const CurrentFormat& format) {
  const GUID* subtype = format.fourcc == V4L2_PIX_FMT_YUYV    ? &MEDIASUBTYPE_YUY2
                        : format.fourcc == V4L2_PIX_FMT_MJPEG ? &MEDIASUBTYPE_MJPG
                                                              : nullptr;
  if (!subtype || format.interval.denominator == 0 || format.interval.numerator == 0) return {};
  const auto width = static_cast<LONG>(std::min<std::uint32_t>(format.width, 0x7FFFFFFF));
  const auto height = static_cast<LONG>(std::min<std::uint32_t>(format.height, 0x7FFFFFFF));
  const bool jpeg = subtype == &MEDIASUBTYPE_MJPG;
  const graph::MediaType type = graph::MakeVideoType(
      *subtype, width, height, jpeg ? 24 : 16,
      jpeg ? MakeFourCC('M', 'J', 'P', 'G') : MakeFourCC('Y', 'U', 'Y', '2'), 0, 0);
  std::shared_ptr<sim::TestPicture> picture = sim::TestPicture::For(type.View());
  if (!picture) return {};
  const std::size_t frameBytes = picture->FrameBytes();
  auto camera = std::make_shared<FilmingAhead>(
      [picture](std::uint64_t number, unsigned char* out, std::size_t capacity) {
        return picture->Draw(number, out, capacity);
      },
      frameBytes);
  FrameSource source;
  source.period = std::chrono::nanoseconds(std::int64_t{1'000'000'000} * format.interval.numerator /
                                           format.interval.denominator);
  source.draw = [camera](std::uint64_t number, unsigned char* out, std::size_t capacity) {
    return camera->Take(number, out, capacity);
  };
  return source;
}

int StreamOn(IoctlCall& call, void* argument) {
  FrameSource source;
  if (!call.file.Metadata()) source = FilmAt(call.camera.Formats().Current());
  return call.file.Queue().StreamOn(&call.file, As<std::uint32_t>(argument), std::move(source));
}

int StreamOff(IoctlCall& call, void* argument) {
  return call.file.Queue().StreamOff(&call.file, As<std::uint32_t>(argument));
}

constexpr IoctlEntry kIoctls[] = {
    {VIDIOC_QUERYCAP, kBoth, false, false, QueryCapabilities},
    {VIDIOC_ENUM_FMT, kBoth, false, false, EnumerateFormats},
    {VIDIOC_G_FMT, kBoth, false, false, GetFormat},
    {VIDIOC_TRY_FMT, kBoth, false, false, TryFormat},
    {VIDIOC_S_FMT, kBoth, true, true, SetFormat},
    {VIDIOC_G_PARM, kCapture, false, false, GetStreamParameters},
    {VIDIOC_S_PARM, kCapture, true, true, SetStreamParameters},
    {VIDIOC_ENUM_FRAMESIZES, kCapture, false, false, EnumerateSizes},
    {VIDIOC_ENUM_FRAMEINTERVALS, kCapture, false, false, EnumerateIntervals},
    {VIDIOC_QUERYCTRL, kCapture, false, false, QueryControl},
    {VIDIOC_QUERY_EXT_CTRL, kCapture, false, false, QueryExtendedControl},
    {VIDIOC_QUERYMENU, kCapture, false, false, QueryMenu},
    {VIDIOC_G_CTRL, kCapture, false, false, GetControl},
    {VIDIOC_S_CTRL, kCapture, true, true, SetControl},
    {VIDIOC_G_EXT_CTRLS, kCapture, false, false, GetControls},
    {VIDIOC_S_EXT_CTRLS, kCapture, true, true, SetControls},
    {VIDIOC_TRY_EXT_CTRLS, kCapture, false, false, TryControls},
    {VIDIOC_G_PRIORITY, kBoth, false, false, GetPriority},
    {VIDIOC_S_PRIORITY, kBoth, true, false, SetPriority},
    {VIDIOC_SUBSCRIBE_EVENT, kCapture, false, false, SubscribeEvent},
    {VIDIOC_UNSUBSCRIBE_EVENT, kCapture, false, false, UnsubscribeEvent},
    {VIDIOC_DQEVENT, kCapture, false, false, DequeueEvent},
    {VIDIOC_REQBUFS, kBoth, true, false, RequestBuffers},
    {VIDIOC_QUERYBUF, kBoth, false, false, QueryBuffer},
    {VIDIOC_QBUF, kBoth, false, false, QueueBuffer},
    {VIDIOC_DQBUF, kBoth, false, false, DequeueBuffer},
    {VIDIOC_STREAMON, kBoth, true, false, StreamOn},
    {VIDIOC_STREAMOFF, kBoth, true, false, StreamOff},
};

const IoctlEntry* FindIoctl(unsigned long request, bool metadata) {
  for (const IoctlEntry& entry : kIoctls) {
    if (entry.request == request && (entry.nodes & (metadata ? kMetadata : kCapture))) {
      return &entry;
    }
  }
  return nullptr;
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
  if (!argument && _IOC_SIZE(request) > 0) return -EFAULT;
  const IoctlEntry* entry = FindIoctl(request, file->Metadata());
  if (!entry) return -ENOTTY;
  if (entry->priority && file->Priority() < device.HighestPriority()) return -EBUSY;

  // The device (and with it the camera) stays the same for the whole call.
  const std::shared_ptr<UvcCamera> camera = device.camera;
  const std::string id = camera->Description().id;
  const UvcCamera::State before = entry->changesState ? camera->Save() : UvcCamera::State{};
  IoctlCall call{*this, *file, *camera, {}};
  int error = entry->handler(call, argument);
  // What reached the camera is stored even when a later part of the request failed.
  if (entry->changesState && Persist(id, before) != 0) return -EIO;
  if (error == 0 && device.registered) Announce(device, file.get(), call.changes);
  return -error;
}

}  // namespace korvane::v4l2::emulation
