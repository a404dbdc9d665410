#pragma once
// The property pages a simulated device offers. A page is named by its class id; the
// property frame looks the id up and builds the page from the device's own control list.

#include "platform/com/Guid.h"
#include "platform/devices/StreamFormatPage.h"

namespace korvane::sim {

// The video-processing controls (IAMVideoProcAmp) of the filter.
inline constexpr CLSID CLSID_SimVideoProcAmpPage = MakeGuid("6B1F3E20-4C5A-4E8B-9A0D-2F7C51D3A101");
// The camera controls (IAMCameraControl) and the flash and stabilization records.
inline constexpr CLSID CLSID_SimCameraControlPage =
    MakeGuid("6B1F3E20-4C5A-4E8B-9A0D-2F7C51D3A102");
// The formats of the capture pin (IAMStreamConfig).
inline constexpr CLSID CLSID_SimStreamFormatPage = devices::CLSID_StreamFormatPage;
// The class id a simulated capture filter reports through IPersist::GetClassID.
inline constexpr CLSID CLSID_SimCaptureFilter = MakeGuid("6B1F3E20-4C5A-4E8B-9A0D-2F7C51D3A100");

}  // namespace korvane::sim

namespace korvane::sim {

using devices::FillPageList;

// Registers the page classes with the class registry, so the property frame can create the
// pages by their ids. Making a simulated provider does it.
void RegisterSimPages();

}  // namespace korvane::sim
