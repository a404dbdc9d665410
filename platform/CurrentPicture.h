#pragma once
// An interface of this platform's own beside the renderer's windowless control: the picture the
// renderer shows, for a window that draws it at once. GetCurrentImage copies the picture into a
// packed bitmap, bottom row first, that the caller keeps; a live picture needs neither the copy
// nor the rows turned over, so this hands out the renderer's own sample where it can be drawn as
// it is and converts straight into the caller's rows where it cannot.

#include "platform/DirectShow9.h"

KORVANE_INTERFACE_ID(IVideoCurrentPicture, "2AF7A8D7-7C49-49DE-A511-DDB156D05583");

struct IVideoCurrentPicture : IUnknown {
  using ComBase = IUnknown;
  // The picture's size in *width and *height. When its sample holds opaque 32-bit rows top row
  // first (a decoder's output), S_OK with the sample in *sample, held until the caller releases
  // it, and its row pitch in *stride. Otherwise S_FALSE with *sample null: CopyCurrentPicture
  // gives the picture. VFW_E_WRONG_STATE before the first picture, VFW_E_NOT_CONNECTED without
  // a connection.
  virtual HRESULT GetCurrentPicture(IMediaSample** sample, LONG* width, LONG* height,
                                    LONG* stride) = 0;
  // The current picture as opaque 32-bit pixels into height rows of width pixels, top row
  // first, stride bytes apart, in one pass. E_INVALIDARG when the size is not the picture's.
  virtual HRESULT CopyCurrentPicture(BYTE* rows, LONG stride, LONG width, LONG height) = 0;
};
