#include "platform/v4l2/emulation/Firmware.h"

#include <cerrno>
#include <utility>

namespace korvane::v4l2::emulation {

Firmware::Firmware(FirmwareDescription description) {
  Replace(std::move(description));
}

void Firmware::Replace(FirmwareDescription description) {
  description_ = std::move(description);
  left_.clear();
  for (const Fault& fault : description_.faults) left_.push_back(fault.times.value_or(-1));
  interruptions_ = description_.interruptCalls;
  pulled_ = false;
}

int Firmware::StreamTransfer() {
  if (description_.unplugError == 0 || pulled_) return 0;
  pulled_ = true;
  return description_.unplugError;
}

int Firmware::Transfer(std::uint32_t control, Call call) {
  ++transfers_;
  if (const int pulled = StreamTransfer()) return pulled;
  for (std::size_t i = 0; i < description_.faults.size(); ++i) {
    const Fault& fault = description_.faults[i];
    if (fault.control != control || fault.call != call || left_[i] == 0) continue;
    if (left_[i] > 0) --left_[i];
    return fault.error;
  }
  return 0;
}

int Firmware::WrongState() {
  ++transfers_;
  return description_.oldKernel ? EILSEQ : EACCES;
}

bool Firmware::TakeInterruption() {
  if (interruptions_ <= 0) return false;
  --interruptions_;
  return true;
}

}  // namespace korvane::v4l2::emulation
