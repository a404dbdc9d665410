#pragma once
// Conversions between the device values of the enumerated controls and their enumerations.
// Each control has two tables: the enumeration member a device value reads as (indexed by
// the device value), and the device value a member writes (indexed by the member's ordinal).

#include <cstddef>
#include <cstdint>

#include "camera/FCameraTypes.h"

namespace korvane::camera {

// Values beyond the table read as the enumeration's first member, "unknown".
template <class Enum, std::size_t N>
constexpr Enum FromDevice(const Enum (&Members)[N], std::int64_t Value) {
  return Value >= 0 && static_cast<std::size_t>(Value) < N ? Members[Value] : Enum{};
}

// A value outside the enumeration (a cast from a bad number) writes what "unknown" writes.
template <class Enum, std::size_t N>
constexpr LONG ToDevice(const LONG (&Values)[N], Enum Member) {
  const auto Ordinal = static_cast<std::size_t>(Member);
  return Ordinal < N ? Values[Ordinal] : Values[0];
}

inline constexpr TFPowerLineFrequency kPowerLineFrequencyRead[] = {pfDisabled, pf50Hz, pf60Hz,
                                                                   pfAuto};
inline constexpr LONG kPowerLineFrequencyWrite[] = {0, 0, 1, 2, 3};

inline constexpr TFScanMode kScanModeRead[] = {smInterlace, smProgressive};
inline constexpr LONG kScanModeWrite[] = {0, 0, 1};

inline constexpr TFFlashMode kFlashModeRead[] = {fmOff, fmOn, fmAuto};
inline constexpr LONG kFlashModeWrite[] = {0, 0, 1, 2};

inline constexpr TFVideoStabilizationMode kVideoStabilizationModeRead[] = {vmOff, vmHigh, vmMedium,
                                                                           vmLow, vmAuto};
inline constexpr LONG kVideoStabilizationModeWrite[] = {0, 0, 1, 2, 3, 4};

// Device 0 is not a control value: only 1 (auto) and 2 (manual) are known.
inline constexpr TFFlashControl kFlashControlRead[] = {fcUnknown, fcAuto, fcManual};
inline constexpr LONG kFlashControlWrite[] = {1, 1, 2};

inline constexpr TFVideoStabilizationControl kVideoStabilizationControlRead[] = {vcUnknown, vcAuto,
                                                                                 vcManual};
inline constexpr LONG kVideoStabilizationControlWrite[] = {1, 1, 2};

}  // namespace korvane::camera
