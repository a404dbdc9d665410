#include "platform/graph/GraphClasses.h"

namespace korvane::graph {

void RegisterGraphClasses() {
  struct Class {
    const CLSID* id;
    HRESULT (*create)(REFIID, void**);
  };
  static constexpr Class kClasses[] = {
      {&CLSID_FilterGraph, CreateFilterGraph},
      {&CLSID_CaptureGraphBuilder2, CreateCaptureGraphBuilder},
      {&CLSID_SampleGrabber, CreateSampleGrabber},
      {&CLSID_NullRenderer, CreateNullRenderer},
      {&CLSID_VideoMixingRenderer9, CreateVideoRenderer},
      {&CLSID_SmartTee, CreateSmartTee},
      {&CLSID_MjpegDec, CreateMjpegDecoder},
      {&CLSID_KorvaneMjpegEncoder, CreateMjpegEncoder},
      {&CLSID_AviDest, CreateAviMux},
      {&CLSID_FileWriter, CreateFileWriter},
  };
  for (const Class& entry : kClasses) com::RegisterClassUnlessSet(*entry.id, entry.create);
}

}  // namespace korvane::graph
