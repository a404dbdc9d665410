#pragma once

#include "platform/com/CallBatch.h"

// Open around a run of reads of the cameras (every property of the selected camera, its
// formats): the drivers may answer the run from one look at a device state that other
// programs share, instead of looking again at every read. What another program changed before
// the run began is always read. Keep it short: close it before waiting for anything.
class TFCameraReadBatch {
 private:
  korvane::com::ScopedCallBatch FBatch;
};
