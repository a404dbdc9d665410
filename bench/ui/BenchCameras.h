#pragma once
// The simulated cameras the window benchmarks read: one camera with all seventeen properties
// adjustable (0..255, manual and automatic) and the given formats, and a spare camera of the
// same kind, so that the list holds two cameras and the first one is selected at start-up.

#include <utility>
#include <vector>

#include "platform/sim/SimCameras.h"

inline korvane::sim::SimDescription BenchCameraAndSpare(
    std::vector<korvane::sim::SimFormat> formats) {
  korvane::sim::SimDevice camera;
  camera.friendlyName = "Bench camera";
  camera.devicePath = "sim://bench";
  camera.formats = std::move(formats);
  korvane::sim::SimControl control;
  control.min = 0;
  control.max = 255;
  control.value = 128;
  control.caps = 3;
  for (LONG index = 0; index <= 9; ++index) camera.videoProcAmp[index] = control;
  for (LONG index = 0; index <= 6; ++index) camera.cameraControl[index] = control;
  korvane::sim::SimDevice spare = camera;
  spare.friendlyName = "Spare";
  spare.devicePath = "sim://spare";
  korvane::sim::SimDescription description;
  description.devices = {camera, spare};
  return description;
}
