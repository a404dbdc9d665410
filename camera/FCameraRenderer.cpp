// The VMR-9 renderer's settings and geometry: aspect ratio and border colour, kept by the
// component and applied at once while the renderer shows the picture, and the sizes and
// positions the renderer reports.

#include <utility>

#include "camera/FCamera.h"
#include "camera/FCameraChecks.h"
#include "camera/FDirectShow9.h"

namespace {

TFRect ToRect(const RECT& Rect) {
  return {Rect.left, Rect.top, Rect.right, Rect.bottom};
}

RECT ToRECT(const TFRect& Rect) {
  return {Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
}

// The video's size and its aspect ratio, as the renderer reports them.
std::pair<TFPoint, TFPoint> NativeVideo(const ComPtr<IVMRWindowlessControl9>& Windowless) {
  TFPoint Size, AspectRatio;
  CheckResult(Windowless->GetNativeVideoSize(&Size.X, &Size.Y, &AspectRatio.X, &AspectRatio.Y));
  return {Size, AspectRatio};
}

// The source and destination rectangles.
std::pair<TFRect, TFRect> VideoPosition(const ComPtr<IVMRWindowlessControl9>& Windowless) {
  RECT Source{}, Destination{};
  CheckResult(Windowless->GetVideoPosition(&Source, &Destination));
  return {ToRect(Source), ToRect(Destination)};
}

}  // namespace

bool TFCamera::GetAspectRatio() {
  if (!GetActive()) return FAspectRatio;
  CheckVmr9();
  DWORD Mode = VMR9ARMode_None;
  CheckResult(FVMRWindowlessControl9->GetAspectRatioMode(&Mode));
  return Mode == VMR9ARMode_LetterBox;
}

void TFCamera::SetAspectRatio(bool Value) {
  if (GetActive() && Value != GetAspectRatio()) {
    CheckVmr9();
    CheckResult(
        FVMRWindowlessControl9->SetAspectRatioMode(Value ? VMR9ARMode_LetterBox : VMR9ARMode_None));
  }
  FAspectRatio = Value;
}

DWORD TFCamera::GetBorderColor() {
  if (!GetActive()) return FBorderColor;
  CheckVmr9();
  COLORREF Color = 0;
  CheckResult(FVMRWindowlessControl9->GetBorderColor(&Color));
  return Color;
}

void TFCamera::SetBorderColor(DWORD Value) {
  if (GetActive() && Value != GetBorderColor()) {
    CheckVmr9();
    CheckResult(FVMRWindowlessControl9->SetBorderColor(Value));
  }
  FBorderColor = Value;
}

TFPoint TFCamera::GetMaxIdealVideoSize() {
  CheckVmr9();
  TFPoint Size;
  CheckResult(FVMRWindowlessControl9->GetMaxIdealVideoSize(&Size.X, &Size.Y));
  return Size;
}

TFPoint TFCamera::GetMinIdealVideoSize() {
  CheckVmr9();
  TFPoint Size;
  CheckResult(FVMRWindowlessControl9->GetMinIdealVideoSize(&Size.X, &Size.Y));
  return Size;
}

TFPoint TFCamera::GetNativeVideoSize() {
  CheckVmr9();
  return NativeVideo(FVMRWindowlessControl9).first;
}

TFPoint TFCamera::GetNativeAspectRatio() {
  CheckVmr9();
  return NativeVideo(FVMRWindowlessControl9).second;
}

TFRect TFCamera::GetVideoPositionSource() {
  CheckVmr9();
  return VideoPosition(FVMRWindowlessControl9).first;
}

void TFCamera::SetVideoPositionSource(const TFRect& Value) {
  CheckVmr9();
  const RECT Source = ToRECT(Value);
  CheckResult(FVMRWindowlessControl9->SetVideoPosition(&Source, nullptr));
}

TFRect TFCamera::GetVideoPositionDest() {
  CheckVmr9();
  return VideoPosition(FVMRWindowlessControl9).second;
}

void TFCamera::SetVideoPositionDest(const TFRect& Value) {
  CheckVmr9();
  const RECT Destination = ToRECT(Value);
  CheckResult(FVMRWindowlessControl9->SetVideoPosition(nullptr, &Destination));
}
