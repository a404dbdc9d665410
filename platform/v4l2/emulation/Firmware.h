#pragma once
// The camera's side of the USB cable: every transfer the driver makes to read or write a
// control passes here, where the faults of the camera's file make it fail. It also counts the
// transfers, which is what a cache in the driver saves, and holds the interruptions asked for.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/v4l2/emulation/Description.h"

namespace korvane::v4l2::emulation {

class Firmware {
 public:
  explicit Firmware(FirmwareDescription description = {});

  // One transfer for a control: 0, or the errno the driver makes of the camera's answer.
  int Transfer(std::uint32_t control, Call call);
  // A frame's transfer while streaming: 0, or the error of a cable being pulled.
  int StreamTransfer();
  // Whether the cable was pulled during a transfer: the camera is to be unplugged.
  bool Pulled() const { return pulled_; }
  // A write the camera refuses because the control's automatic companion is on: the camera
  // answers "wrong state", which older kernels report as EILSEQ and current ones as EACCES.
  int WrongState();
  // A stream negotiation (format or frame rate); the camera always accepts it.
  void Probe() { ++transfers_; }

  // The driver itself refuses writes to inactive controls (kernels since that check came).
  bool DriverChecksInactive() const {
    return !description_.oldKernel && description_.inactiveCheck;
  }
  bool RefusesInactiveWrites() const { return description_.inactiveCheck; }

  // True, once per call asked for, while interruptions are left.
  bool TakeInterruption();

  std::size_t Transfers() const { return transfers_; }
  void ResetTransfers() { transfers_ = 0; }

  const FirmwareDescription& Description() const { return description_; }
  // A new description from the file: fresh fault counts, the transfers counted so far kept.
  void Replace(FirmwareDescription description);

 private:
  FirmwareDescription description_;
  std::vector<int> left_;  // per fault: how many more times it fails (-1: always)
  int interruptions_ = 0;
  bool pulled_ = false;
  std::size_t transfers_ = 0;
};

}  // namespace korvane::v4l2::emulation
