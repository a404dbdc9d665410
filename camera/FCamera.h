#pragma once
// TFCamera: the non-visual camera component. It lists the capture devices, selects one,
// exposes its controls and stream formats, and owns the platform interfaces it obtained for
// it. Every read asks the driver; only interface references are cached.

#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

#include "camera/FCameraErrors.h"
#include "camera/FCameraTypes.h"
#include "camera/FControl.h"
#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

struct IAMCameraControl;
struct IAMStreamConfig;
struct IAMVideoControl;
struct IAMVideoProcAmp;
struct IBaseFilter;
struct ICaptureGraphBuilder2;
struct IGraphBuilder;
struct IMediaControl;
struct IMediaEvent;
struct IPin;
struct ISampleGrabber;
struct ISampleGrabberCB;
struct IVMRFilterConfig9;
struct IVMRWindowlessControl9;
class QImage;
class TFSampleGrabberCB;
struct TFSnapshot;

// The four public accessors of a full control P: GetP/SetP (the value), GetPAuto/SetPAuto
// (the mode), GetPRange and GetPSupported, each one call of the generic operation of its
// interface with the control's fixed index.
// clang-format off
#define KORVANE_FULL_CONTROL(P, Interface, Index)                                 \
  LONG Get##P() { return Get##Interface##Value(Index); }                          \
  void Set##P(LONG Value) { Set##Interface##Value(Index, Value); }                \
  bool Get##P##Auto() { return Get##Interface##Auto(Index); }                     \
  void Set##P##Auto(bool Value) { Set##Interface##Auto(Index, Value); }           \
  TFRange Get##P##Range() { return Get##Interface##Range(Index); }                \
  bool Get##P##Supported() { return Get##Interface##Supported(Index); }
// clang-format on

class TFCamera {
 public:
  // AOwner is the window that owns the component; the preview looks for its form there.
  explicit TFCamera(TFControl* AOwner = nullptr);
  ~TFCamera();
  TFCamera(const TFCamera&) = delete;
  TFCamera& operator=(const TFCamera&) = delete;

  // Component state: while loading, settings are stored without the inactive check, and the
  // stored Active takes effect when loading ends.
  void BeginLoading();
  void EndLoading();
  bool IsLoading() const { return FLoading; }

  std::string GetAbout() const;
  void SetAbout(const std::string& Value);  // accepted and ignored

  // --- Devices and selection -----------------------------------------------------------------
  TFVideoCaptureDevices GetDevices();
  TFAudioCaptureDevices GetAudioCaptureDevices();
  std::vector<std::string> GetCompressors();
  std::vector<std::string> GetAudioCompressors();

  // A friendly name or a device path.
  const std::string& GetDeviceName() const { return FDeviceName; }
  void SetDeviceName(const std::string& Value);
  const std::string& GetAudioDeviceName() const { return FAudioDeviceName; }
  void SetAudioDeviceName(const std::string& Value);
  const std::string& GetCompressorName() const { return FCompressorName; }
  void SetCompressorName(const std::string& Value);
  const std::string& GetAudioCompressorName() const { return FAudioCompressorName; }
  void SetAudioCompressorName(const std::string& Value);

  // The device bound to a filter, nil when there is none.
  ComPtr<IBaseFilter> GetDevice(const std::string& Name);
  ComPtr<IBaseFilter> GetAudioCaptureDevice(const std::string& Name);
  ComPtr<IBaseFilter> GetCompressor(const std::string& Name);
  ComPtr<IBaseFilter> GetAudioCompressor(const std::string& Name);

  // Lazily obtained interfaces: cached once obtained, nil while unavailable (never raising;
  // the next read tries again).
  ComPtr<IBaseFilter> GetCaptureFilter();
  ComPtr<IPin> GetCapturePin();
  ComPtr<IAMVideoProcAmp> GetAMVideoProcAmp();
  ComPtr<IAMCameraControl> GetAMCameraControl();
  ComPtr<IAMStreamConfig> GetAMStreamConfig();
  ComPtr<IAMVideoControl> GetAMVideoControl();
  ComPtr<IBaseFilter> GetAudioCaptureFilter();
  ComPtr<IBaseFilter> GetCompressorFilter();
  ComPtr<IBaseFilter> GetAudioCompressorFilter();
  ComPtr<IGraphBuilder> GetGraphBuilder();
  ComPtr<ICaptureGraphBuilder2> GetCaptureGraphBuilder2();

  // --- Capture graph ---------------------------------------------------------------------------
  // Active builds the graph for the selected device (stopped until Run) or releases it.
  bool GetActive() const;
  void SetActive(bool Value);
  // While active: the way the graph took, never ctAuto.
  TFCaptureType GetCaptureType() const;
  void SetCaptureType(TFCaptureType Value);
  // The control whose area shows the picture, and whose form the renderer clips to; not owned.
  TFControl* GetPreviewControl() const { return FPreviewControl; }
  void SetPreviewControl(TFControl* Value);
  // The file to record into; empty records nothing.
  const std::string& GetOutputFileName() const { return FOutputFileName; }
  void SetOutputFileName(const std::string& Value);
  TFMediaType GetOutputFileType() const { return FOutputFileType; }
  void SetOutputFileType(TFMediaType Value);
  // Applied at once while the VMR-9 renderer shows the picture, else at the next activation.
  bool GetAspectRatio();
  void SetAspectRatio(bool Value);
  DWORD GetBorderColor();
  void SetBorderColor(DWORD Value);

  void Run();
  void Pause();
  void Stop();
  // Asks the graph each time; never raises.
  TFCameraState GetState() const;

  // The renderer's geometry; only while the VMR-9 renderer shows the picture.
  TFPoint GetMaxIdealVideoSize();
  TFPoint GetMinIdealVideoSize();
  TFPoint GetNativeVideoSize();
  TFPoint GetNativeAspectRatio();
  TFRect GetVideoPositionSource();
  void SetVideoPositionSource(const TFRect& Value);
  TFRect GetVideoPositionDest();
  void SetVideoPositionDest(const TFRect& Value);

  // The removal-notification hook: losing the preview control deactivates the component.
  void Notification(TFControl* AComponent, TFOperation Operation);

  // Lazily obtained graph interfaces, under the same rule as the device's.
  ComPtr<IBaseFilter> GetSampleGrabberFilter();
  ComPtr<ISampleGrabber> GetSampleGrabber();
  ComPtr<IBaseFilter> GetNullRenderer();
  ComPtr<IBaseFilter> GetVideoMixingRenderer9Filter();
  ComPtr<IVMRFilterConfig9> GetVMRFilterConfig9();
  ComPtr<IVMRWindowlessControl9> GetVMRWindowlessControl9();
  // Kept only by an activation; while inactive a read hands out an uncached control.
  ComPtr<IMediaControl> GetMediaControl();
  ComPtr<IMediaEvent> GetMediaEvent();

  // --- Frames and snapshots ----------------------------------------------------------------
  // Called on the streaming thread for every sample of a grabber graph that was activated with
  // a handler; it can only be changed while inactive.
  const TFImageAvailableEvent& GetOnImageAvailable() const { return FOnImageAvailable; }
  void SetOnImageAvailable(const TFImageAvailableEvent& Value);
  // The component's callback object, created on first read; one serves one activation.
  ComPtr<ISampleGrabberCB> GetSampleGrabberCB();

  // The current frame as a bitmap file or a JPEG image at the stream's position. Before the
  // first sample nothing is written and the result is ifBmp.
  TFImageFormat CurrentImageToStream(std::ostream& Stream);
  // The same into a new file (an existing one is replaced), which is left empty when there
  // is no picture yet.
  TFImageFormat CurrentImageToFile(const std::string& FileName);
  // The current frame as an image of the toolkit, the caller's; a null image before the
  // first sample.
  QImage CurrentImageToBitmap();

  // --- Controls of IAMVideoProcAmp -----------------------------------------------------------
  KORVANE_FULL_CONTROL(Brightness, VideoProcAmp, 0)
  KORVANE_FULL_CONTROL(Contrast, VideoProcAmp, 1)
  KORVANE_FULL_CONTROL(Hue, VideoProcAmp, 2)
  KORVANE_FULL_CONTROL(Saturation, VideoProcAmp, 3)
  KORVANE_FULL_CONTROL(Sharpness, VideoProcAmp, 4)
  KORVANE_FULL_CONTROL(Gamma, VideoProcAmp, 5)
  KORVANE_FULL_CONTROL(ColorEnable, VideoProcAmp, 6)
  KORVANE_FULL_CONTROL(WhiteBalance, VideoProcAmp, 7)
  KORVANE_FULL_CONTROL(BacklightCompensation, VideoProcAmp, 8)
  KORVANE_FULL_CONTROL(Gain, VideoProcAmp, 9)
  KORVANE_FULL_CONTROL(DigitalMultiplier, VideoProcAmp, 10)
  KORVANE_FULL_CONTROL(DigitalMultiplierLimit, VideoProcAmp, 11)

  TFPowerLineFrequency GetPowerLineFrequency();
  void SetPowerLineFrequency(TFPowerLineFrequency Value);
  bool GetPowerLineFrequencyAuto() { return GetVideoProcAmpAuto(kPowerLineFrequency); }
  void SetPowerLineFrequencyAuto(bool Value) { SetVideoProcAmpAuto(kPowerLineFrequency, Value); }
  bool GetPowerLineFrequencySupported() { return GetVideoProcAmpSupported(kPowerLineFrequency); }

  // A Boolean view of ColorEnable.
  bool GetColorEnabled() { return GetVideoProcAmpValue(kColorEnable) != 0; }
  void SetColorEnabled(bool Value) { SetVideoProcAmpValue(kColorEnable, Value ? 1 : 0); }
  bool GetColorEnabledAuto() { return GetColorEnableAuto(); }
  void SetColorEnabledAuto(bool Value) { SetColorEnableAuto(Value); }
  bool GetColorEnabledSupported() { return GetColorEnableSupported(); }

  // --- Controls of IAMCameraControl ----------------------------------------------------------
  KORVANE_FULL_CONTROL(Pan, CameraControl, 0)
  KORVANE_FULL_CONTROL(Tilt, CameraControl, 1)
  KORVANE_FULL_CONTROL(Roll, CameraControl, 2)
  KORVANE_FULL_CONTROL(Zoom, CameraControl, 3)
  KORVANE_FULL_CONTROL(Exposure, CameraControl, 4)
  KORVANE_FULL_CONTROL(Iris, CameraControl, 5)
  KORVANE_FULL_CONTROL(Focus, CameraControl, 6)

  TFScanMode GetScanMode();
  void SetScanMode(TFScanMode Value);
  bool GetScanModeAuto() { return GetCameraControlAuto(kScanMode); }
  void SetScanModeAuto(bool Value) { SetCameraControlAuto(kScanMode, Value); }

  LONG GetFocalLength() { return GetCameraControlValue(kFocalLength); }

  // --- Flash and stabilization (kernel-streaming records) ------------------------------------
  TFFlashMode GetFlashMode();
  void SetFlashMode(TFFlashMode Value);
  bool GetFlashModeSupported();
  TFFlashControl GetFlashControl();
  void SetFlashControl(TFFlashControl Value);
  bool GetFlashControlSupported();
  TFVideoStabilizationMode GetVideoStabilizationMode();
  void SetVideoStabilizationMode(TFVideoStabilizationMode Value);
  bool GetVideoStabilizationModeSupported();
  TFVideoStabilizationControl GetVideoStabilizationControl();
  void SetVideoStabilizationControl(TFVideoStabilizationControl Value);
  bool GetVideoStabilizationControlSupported();

  // --- Stream formats ------------------------------------------------------------------------
  // Fetched afresh on every read; a caller that needs the list twice keeps a copy.
  TFCameraFormats GetSupportedFormats();
  TFCameraFormat GetFormat();
  // Selects the first offered format with the same Width, Height, AvgTimePerFrame and
  // BitsPerPixel.
  void SetFormat(const TFCameraFormat& Value);

  // --- Property dialogs ----------------------------------------------------------------------
  // The driver's own pages of the capture filter / of the capture pin's stream configuration,
  // in the platform's modal property frame; each returns when the frame is closed.
  void ShowPropertyDialog();
  void ShowStreamPropertyDialog();

 private:
  static constexpr LONG kColorEnable = 6;
  static constexpr LONG kPowerLineFrequency = 13;
  static constexpr LONG kScanMode = 7;
  static constexpr LONG kFocalLength = 18;

  // The 8-byte record of a kernel-streaming property set: mode first, control second.
  struct TFKsPropertyRecord {
    DWORD Mode = 0;
    DWORD Control = 0;
  };

  // Generic operations on IAMVideoProcAmp and IAMCameraControl, by property index.
  void CheckVideoProcAmp();
  bool GetVideoProcAmpSupported(LONG Property);
  LONG GetVideoProcAmpValue(LONG Property);
  void SetVideoProcAmpValue(LONG Property, LONG NewValue);
  bool GetVideoProcAmpAuto(LONG Property);
  void SetVideoProcAmpAuto(LONG Property, bool Auto);
  TFRange GetVideoProcAmpRange(LONG Property);

  void CheckCameraControl();
  bool GetCameraControlSupported(LONG Property);
  LONG GetCameraControlValue(LONG Property);
  void SetCameraControlValue(LONG Property, LONG NewValue);
  bool GetCameraControlAuto(LONG Property);
  void SetCameraControlAuto(LONG Property, bool Auto);
  TFRange GetCameraControlRange(LONG Property);

  TFKsPropertyRecord GetKsPropertyRecord(const GUID& Set);
  bool GetKsPropertySupported(const GUID& Set);
  void SetKsPropertyRecord(const GUID& Set, const TFKsPropertyRecord& Record);
  // One value of a record; a write sends the other value back as it was read.
  DWORD GetKsPropertyValue(const GUID& Set, DWORD TFKsPropertyRecord::*Value);
  void SetKsPropertyValue(const GUID& Set, DWORD TFKsPropertyRecord::*Value, LONG NewValue);

  // Collects the pages Object specifies and shows them, captioned with the capture filter's
  // name.
  void ShowPropertyPages(IUnknown* Object);

  // Raise unless a device is selected and present / the component is active / inactive.
  void CheckDevice();
  void CheckActive() const;
  void CheckInactive() const;
  // Detaches, stops and releases everything held, then waits for a running frame handler.
  void ReleaseGraph();
  // Stores a new setting under the rule the settings share: a different value needs the
  // component inactive, except while loading. False when the value is unchanged.
  template <class T>
  bool ChangeSetting(T& Field, const T& Value);

  // The steps of activation; a failure anywhere leaves the rest to SetActive.
  void BuildGraph();
  // Returns the result of connecting the preview to the renderer.
  HRESULT BuildVmr9Preview();
  void BuildGrabberPath();
  void BuildRecording();
  // The media control, kept: from then on the component counts as active.
  ComPtr<IMediaControl> HoldMediaControl();
  // Raises unless active with the VMR-9 renderer showing the picture.
  void CheckVmr9();
  // The form the renderer clips to: the preview control's, else the owner when it is a form.
  TFControl* PreviewForm() const;

  friend class TFSampleGrabberCB;
  // Runs the frame handler on the streaming thread; always S_OK.
  HRESULT DoImageAvailable(double SampleTime);
  // The current frame as the snapshots write it; raises as CurrentImageToStream does.
  TFSnapshot TakeSnapshot();

  bool FActive = false;
  ComPtr<IAMCameraControl> FAMCameraControl;
  ComPtr<IAMStreamConfig> FAMStreamConfig;
  ComPtr<IAMVideoControl> FAMVideoControl;
  ComPtr<IAMVideoProcAmp> FAMVideoProcAmp;
  bool FAspectRatio = false;
  ComPtr<IBaseFilter> FAudioCaptureFilter;
  ComPtr<IBaseFilter> FAudioCompressorFilter;
  std::string FAudioCompressorName;
  std::string FAudioDeviceName;
  DWORD FBorderColor = 0xFF000000;  // opaque black, alpha in the top byte
  ComPtr<IBaseFilter> FCaptureFilter;
  ComPtr<ICaptureGraphBuilder2> FCaptureGraphBuilder2;
  ComPtr<IPin> FCapturePin;
  TFCaptureType FCaptureType = ctAuto;
  ComPtr<IBaseFilter> FCompressorFilter;
  std::string FCompressorName;
  std::string FDeviceName;
  bool FGrabberUsed = false;
  ComPtr<IGraphBuilder> FGraphBuilder;
  // Written by the streaming thread while a frame handler runs; ReleaseGraph waits on it.
  std::atomic<bool> FInImageAvailable{false};
  ComPtr<IMediaControl> FMediaControl;
  ComPtr<IMediaEvent> FMediaEvent;
  ComPtr<IBaseFilter> FNullRenderer;
  TFImageAvailableEvent FOnImageAvailable;
  std::string FOutputFileName;
  TFMediaType FOutputFileType = mtAsf;
  TFControl* FPreviewControl = nullptr;  // not owned: the window owns its controls
  ComPtr<ISampleGrabber> FSampleGrabber;
  ComPtr<ISampleGrabberCB> FSampleGrabberCB;
  ComPtr<IBaseFilter> FSampleGrabberFilter;
  ComPtr<IBaseFilter> FVideoMixingRenderer9Filter;
  ComPtr<IVMRFilterConfig9> FVMRFilterConfig9;
  ComPtr<IVMRWindowlessControl9> FVMRWindowlessControl9;

  TFControl* FOwner = nullptr;  // not owned
  bool FLoading = false;
};

#undef KORVANE_FULL_CONTROL
