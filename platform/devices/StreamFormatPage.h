#pragma once
// The stream format page every capture pin offers: the pin's formats as one choice, read and
// set through its IAMStreamConfig. Providers name it in their pins' page lists.

#include <vector>

#include "platform/com/Guid.h"

struct CAUUID;

namespace korvane::devices {

inline constexpr CLSID CLSID_StreamFormatPage = MakeGuid("6B1F3E20-4C5A-4E8B-9A0D-2F7C51D3A103");

// Registers the page class with the class registry (idempotent).
void RegisterStreamFormatPage();

// Hands page ids out as ISpecifyPropertyPages::GetPages does: a task-memory array the caller
// frees (nullptr for an empty list).
HRESULT FillPageList(CAUUID* pages, const std::vector<CLSID>& ids);

}  // namespace korvane::devices
