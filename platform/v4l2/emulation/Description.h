#pragma once
// What a file of emulated UVC cameras says: each camera's identity, its controls as the
// driver reports them, its formats, its current format and the faults of its firmware. The
// file reader resolves every name here, so the emulated kernel works with numbers only.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane::v4l2::emulation {

struct Fraction {
  std::uint32_t numerator = 0;
  std::uint32_t denominator = 1;
  bool operator==(const Fraction&) const = default;
};

// The frame intervals of one frame size: a list, or a range (CONTINUOUS when it has no step).
struct IntervalSet {
  std::vector<Fraction> discrete;
  bool range = false;
  Fraction minimum, maximum, step;
  bool continuous = false;
  bool operator==(const IntervalSet&) const = default;
};

struct FrameSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  IntervalSet intervals;
  bool operator==(const FrameSize&) const = default;
};

// Frame sizes as a range (CONTINUOUS when both steps are 1, else STEPWISE).
struct SizeRange {
  std::uint32_t minWidth = 0, maxWidth = 0, stepWidth = 1;
  std::uint32_t minHeight = 0, maxHeight = 0, stepHeight = 1;
  IntervalSet intervals;
  bool operator==(const SizeRange&) const = default;
};

struct FormatDescription {
  std::uint32_t fourcc = 0;
  std::vector<FrameSize> sizes;    // discrete sizes, or
  std::optional<SizeRange> range;  // a range of sizes
  bool operator==(const FormatDescription&) const = default;
};

struct CurrentFormat {
  std::uint32_t fourcc = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  Fraction interval;
  bool operator==(const CurrentFormat&) const = default;
};

// Which UVC unit a control belongs to; the driver commits a request unit by unit in this
// order, and inside a unit by the control's index.
enum class Unit { kExtension = 0, kProcessing = 1, kCamera = 2 };

struct ControlDescription {
  std::uint32_t id = 0;
  std::uint32_t type = 0;  // V4L2_CTRL_TYPE_INTEGER, _BOOLEAN, _MENU or _BUTTON
  std::string name;        // as QUERYCTRL reports it
  std::int32_t minimum = 0, maximum = 0, step = 0, defaultValue = 0;
  std::int32_t value = 0;
  std::uint64_t menuItems = 0;         // bit n: the device offers menu item n
  std::vector<std::string> menuNames;  // by item index; empty where the item has no name
  bool readOnly = false, writeOnly = false;
  bool autoUpdate = false;  // the camera changes it by itself, so the driver never caches it
  Unit unit = Unit::kExtension;
  int unitIndex = 0;
  std::uint32_t master = 0;       // the automatic companion that makes this one inactive
  std::int32_t masterManual = 0;  // the companion's value in which this one is active
  std::size_t jsonIndex = 0;      // where it is in the camera's "controls"
  bool operator==(const ControlDescription&) const = default;
};

enum class Call { kGet, kSet, kQuery };

struct Fault {
  std::uint32_t control = 0;
  Call call = Call::kGet;
  int error = 0;
  std::optional<int> times;  // fails this many times, then works; always when not given
  bool operator==(const Fault&) const = default;
};

// How the driver hands a capture stream to one open file.
enum class StreamRule {
  // Up to the 6.1 line: setting the format, frame rate or input and requesting buffers take
  // the stream's privileges for that file; buffer calls need them; closing the file or freeing
  // its buffers gives them back.
  kPrivileges,
  // Later lines (the driver on the buffer queue's own helpers): only the file that holds the
  // buffers owns the queue; a format may be set through any file while nobody holds buffers.
  kQueueOwner,
};

struct FirmwareDescription {
  bool oldKernel = false;  // before the driver refused writes to inactive controls itself
  StreamRule streamRule = StreamRule::kPrivileges;
  bool inactiveCheck = true;  // writes to a control whose automatic companion is on are refused
  int interruptCalls = 0;     // the next calls on the camera answer EINTR
  int unplugError = 0;  // the next transfer fails with it as the cable is pulled, then it is gone
  std::vector<Fault> faults;
  bool operator==(const FirmwareDescription&) const = default;
};

// What a camera sends now and then instead of a whole frame of the format it streams.
enum class FrameFaultKind {
  kTruncated,  // the first half of the frame only (a transfer cut short)
  kOtherSize,  // a frame of another size than the one negotiated
  kError,      // a frame the driver flags as damaged
  kEmpty,      // a buffer handed back with no bytes
};

struct FrameFault {
  FrameFaultKind kind = FrameFaultKind::kTruncated;
  std::uint32_t every = 1;              // every n-th frame, counted from the first
  std::uint32_t width = 0, height = 0;  // the size of kOtherSize
  bool operator==(const FrameFault&) const = default;
};

struct UsbIdentity {
  std::string vendor;   // "046d"
  std::string product;  // "0825"
  std::optional<std::string> manufacturer;
  std::optional<std::string> productName;
  std::optional<std::string> serial;
  bool operator==(const UsbIdentity&) const = default;
};

struct CameraDescription {
  std::string id;
  std::optional<int> node;
  bool metadataNode = true;
  std::string card;
  std::string busInfo;
  UsbIdentity usb;
  std::string byPath;  // the udev path name without "-video-indexN"
  bool present = true;
  std::int64_t plugs = 0;  // raised: unplugged and plugged in again at once
  bool accessDenied = false;
  std::vector<ControlDescription> controls;  // sorted by id
  std::vector<FormatDescription> formats;
  CurrentFormat current;
  FirmwareDescription firmware;
  std::vector<FrameFault> frameFaults;
  bool operator==(const CameraDescription&) const = default;
};

struct EmulationDescription {
  std::vector<CameraDescription> cameras;  // in the file's order
};

}  // namespace korvane::v4l2::emulation
