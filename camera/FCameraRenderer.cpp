// The VMR-9 renderer's settings and geometry: aspect ratio and border colour, kept by the
// component and applied at once while the renderer shows the picture, and the sizes and
// positions the renderer reports.

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
  TFPoint Size, AspectRatio;
  CheckResult(
      FVMRWindowlessControl9->GetNativeVideoSize(&Size.X, &Size.Y, &AspectRatio.X, &AspectRatio.Y));
  return Size;
}

TFPoint TFCamera::GetNativeAspectRatio() {
  CheckVmr9();
  TFPoint Size, AspectRatio;
  CheckResult(
      FVMRWindowlessControl9->GetNativeVideoSize(&Size.X, &Size.Y, &AspectRatio.X, &AspectRatio.Y));
  return AspectRatio;
}

TFRect TFCamera::GetVideoPositionSource() {
  CheckVmr9();
  RECT Source{}, Destination{};
  CheckResult(FVMRWindowlessControl9->GetVideoPosition(&Source, &Destination));
  return ToRect(Source);
}

void TFCamera::SetVideoPositionSource(const TFRect& Value) {
  CheckVmr9();
  const RECT Source = ToRECT(Value);
  CheckResult(FVMRWindowlessControl9->SetVideoPosition(&Source, nullptr));
}

TFRect TFCamera::GetVideoPositionDest() {
  CheckVmr9();
  RECT Source{}, Destination{};
  CheckResult(FVMRWindowlessControl9->GetVideoPosition(&Source, &Destination));
  return ToRect(Destination);
}

void TFCamera::SetVideoPositionDest(const TFRect& Value) {
  CheckVmr9();
  const RECT Destination = ToRECT(Value);
  CheckResult(FVMRWindowlessControl9->SetVideoPosition(nullptr, &Destination));
}
