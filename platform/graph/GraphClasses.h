#pragma once
// The classes of the capture graph and how CoCreateInstance finds them.

#include <cstdint>

#include "platform/DirectShow9.h"

// Our Motion JPEG compressor, the filter behind the video compressor devices we list.
inline constexpr CLSID CLSID_KorvaneMjpegEncoder = MakeGuid("6D1A4E52-3C0B-4F7E-9A52-4B6F72766E65");

namespace korvane::graph {

// Registers every graph class that has no registration yet: a class a test stands in for (or
// deliberately leaves out) keeps that registration. Cheap to call again.
void RegisterGraphClasses();

HRESULT CreateFilterGraph(REFIID iid, void** object);
HRESULT CreateCaptureGraphBuilder(REFIID iid, void** object);
HRESULT CreateSampleGrabber(REFIID iid, void** object);
HRESULT CreateNullRenderer(REFIID iid, void** object);
HRESULT CreateVideoRenderer(REFIID iid, void** object);
HRESULT CreateSmartTee(REFIID iid, void** object);
HRESULT CreateMjpegDecoder(REFIID iid, void** object);
HRESULT CreateMjpegEncoder(REFIID iid, void** object);
HRESULT CreateAviMux(REFIID iid, void** object);
// A multiplexer that ends its recording before the file would pass largestFile bytes.
HRESULT CreateAviMuxOfAtMost(std::uint64_t largestFile, REFIID iid, void** object);
HRESULT CreateFileWriter(REFIID iid, void** object);

}  // namespace korvane::graph
