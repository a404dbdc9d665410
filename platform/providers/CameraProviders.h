#pragma once
// The one call that puts the cameras the environment chooses in front of device enumeration,
// and the capture graph they stream through in front of CoCreateInstance.
// The program, the tests that run it and every later tool install cameras through it, so they
// all see the same devices.

namespace korvane::providers {

// KORVANE_CAMERAS: "demo" -> the built-in simulated set, a path -> the simulated cameras of
// that file; unset or empty -> the machine's Video4Linux2 cameras (KORVANE_V4L2_EMULATION:
// the emulated ones of that file).
// Returns false, after one line on standard error, when a camera file is unusable; the
// provider is installed anyway and shows cameras once the file is repaired.
bool InstallCameraProviders();

}  // namespace korvane::providers
