#pragma once
// The platform interfaces the camera component calls: the capture framework's COM
// interfaces with their own method signatures, written with fixed-width types, and the
// class ids, categories and property sets the component names. The platform declares them
// and implements them; the component sees nothing else of it.

#include "platform/com/ClassRegistry.h"
#include "platform/com/ErrorText.h"
#include "platform/com/Guid.h"
#include "platform/com/MediaTypes.h"
#include "platform/com/TaskMemory.h"
#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"
#include "platform/com/WideString.h"

// ---------------------------------------------------------------------------------------------
// Class ids, device categories, pin categories and property sets

inline constexpr CLSID CLSID_SystemDeviceEnum = MakeGuid("62BE5D10-60EB-11D0-BD3B-00A0C911CE86");
inline constexpr CLSID CLSID_VideoInputDeviceCategory =
    MakeGuid("860BB310-5D01-11D0-BD3B-00A0C911CE86");
inline constexpr CLSID CLSID_AudioInputDeviceCategory =
    MakeGuid("33D9A762-90C8-11D0-BD43-00A0C911CE86");
inline constexpr CLSID CLSID_VideoCompressorCategory =
    MakeGuid("33D9A760-90C8-11D0-BD43-00A0C911CE86");
inline constexpr CLSID CLSID_AudioCompressorCategory =
    MakeGuid("33D9A761-90C8-11D0-BD43-00A0C911CE86");
inline constexpr CLSID CLSID_FilterGraph = MakeGuid("E436EBB3-524F-11CE-9F53-0020AF0BA770");
inline constexpr CLSID CLSID_CaptureGraphBuilder2 =
    MakeGuid("BF87B6E1-8C27-11D0-B3F0-00AA003761C5");
inline constexpr CLSID CLSID_SampleGrabber = MakeGuid("C1F400A0-3F08-11D3-9F0B-006008039E37");
inline constexpr CLSID CLSID_NullRenderer = MakeGuid("C1F400A4-3F08-11D3-9F0B-006008039E37");
inline constexpr CLSID CLSID_VideoMixingRenderer9 =
    MakeGuid("51B4ABF3-748F-4E3B-A276-C828330E926A");
inline constexpr CLSID CLSID_SmartTee = MakeGuid("CC58E280-8AA1-11D1-B3F1-00AA003761C5");
inline constexpr CLSID CLSID_MjpegDec = MakeGuid("301056D0-6DFF-11D2-9EEB-006008039E37");
inline constexpr CLSID CLSID_AviDest = MakeGuid("E2510970-F137-11CE-8B67-00AA00A3F1A6");
inline constexpr CLSID CLSID_FileWriter = MakeGuid("8596E5F0-0DA5-11D0-BD21-00A0C911CE86");

inline constexpr GUID PIN_CATEGORY_CAPTURE = MakeGuid("FB6C4281-0353-11D1-905F-0000C0CC16BA");
inline constexpr GUID PIN_CATEGORY_PREVIEW = MakeGuid("FB6C4282-0353-11D1-905F-0000C0CC16BA");
inline constexpr GUID AMPROPSETID_Pin = MakeGuid("9B00F101-1567-11D1-B3F1-00AA003761C5");
inline constexpr DWORD AMPROPERTY_PIN_CATEGORY = 0;

inline constexpr GUID PROPSETID_VIDCAP_CAMERACONTROL_FLASH =
    MakeGuid("785E8F49-63A2-4144-AB70-FFB278FA26CE");
inline constexpr GUID PROPSETID_VIDCAP_CAMERACONTROL_VIDEO_STABILIZATION =
    MakeGuid("43964BD3-7716-404E-8BE1-D299B20E50FD");

// ---------------------------------------------------------------------------------------------
// Property indexes and mode flags of the two control interfaces

enum VideoProcAmpProperty : LONG {
  VideoProcAmp_Brightness = 0,
  VideoProcAmp_Contrast = 1,
  VideoProcAmp_Hue = 2,
  VideoProcAmp_Saturation = 3,
  VideoProcAmp_Sharpness = 4,
  VideoProcAmp_Gamma = 5,
  VideoProcAmp_ColorEnable = 6,
  VideoProcAmp_WhiteBalance = 7,
  VideoProcAmp_BacklightCompensation = 8,
  VideoProcAmp_Gain = 9,
};
inline constexpr LONG KSPROPERTY_VIDEOPROCAMP_DIGITAL_MULTIPLIER = 10;
inline constexpr LONG KSPROPERTY_VIDEOPROCAMP_DIGITAL_MULTIPLIER_LIMIT = 11;
inline constexpr LONG KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY = 13;

enum CameraControlProperty : LONG {
  CameraControl_Pan = 0,
  CameraControl_Tilt = 1,
  CameraControl_Roll = 2,
  CameraControl_Zoom = 3,
  CameraControl_Exposure = 4,
  CameraControl_Iris = 5,
  CameraControl_Focus = 6,
};
inline constexpr LONG KSPROPERTY_CAMERACONTROL_SCANMODE = 7;
inline constexpr LONG KSPROPERTY_CAMERACONTROL_FOCAL_LENGTH = 18;

inline constexpr LONG VideoProcAmp_Flags_Auto = 1;
inline constexpr LONG VideoProcAmp_Flags_Manual = 2;
inline constexpr LONG CameraControl_Flags_Auto = 1;
inline constexpr LONG CameraControl_Flags_Manual = 2;

// ---------------------------------------------------------------------------------------------
// Interface ids

KORVANE_INTERFACE_ID(IBindCtx, "0000000E-0000-0000-C000-000000000046");
KORVANE_INTERFACE_ID(IErrorLog, "3127CA40-446E-11CE-8135-00AA004BB851");
KORVANE_INTERFACE_ID(IPropertyBag, "55272A00-42CB-11CE-8135-00AA004BB851");
KORVANE_INTERFACE_ID(IMoniker, "0000000F-0000-0000-C000-000000000046");
KORVANE_INTERFACE_ID(IEnumMoniker, "00000102-0000-0000-C000-000000000046");
KORVANE_INTERFACE_ID(ICreateDevEnum, "29840822-5B84-11D0-BD3B-00A0C911CE86");
KORVANE_INTERFACE_ID(IPersist, "0000010C-0000-0000-C000-000000000046");
KORVANE_INTERFACE_ID(IMediaFilter, "56A86899-0AD4-11CE-B03A-0020AF0BA770");
KORVANE_INTERFACE_ID(IBaseFilter, "56A86895-0AD4-11CE-B03A-0020AF0BA770");
KORVANE_INTERFACE_ID(IPin, "56A86891-0AD4-11CE-B03A-0020AF0BA770");
KORVANE_INTERFACE_ID(IEnumPins, "56A86892-0AD4-11CE-B03A-0020AF0BA770");
KORVANE_INTERFACE_ID(IEnumMediaTypes, "89C31040-846B-11CE-97D3-00AA0055595A");
KORVANE_INTERFACE_ID(IEnumFilters, "56A86893-0AD4-11CE-B03A-0020AF0BA770");
KORVANE_INTERFACE_ID(IKsPropertySet, "31EFAC30-515C-11D0-A9AA-00AA0061BE93");
KORVANE_INTERFACE_ID(IAMVideoProcAmp, "C6E13360-30AC-11D0-A18C-00A0C9118956");
KORVANE_INTERFACE_ID(IAMCameraControl, "C6E13370-30AC-11D0-A18C-00A0C9118956");
KORVANE_INTERFACE_ID(IAMStreamConfig, "C6E13340-30AC-11D0-A18C-00A0C9118956");
KORVANE_INTERFACE_ID(IAMVideoControl, "6A2E0670-28E4-11D0-A18C-00A0C9118956");
KORVANE_INTERFACE_ID(ISpecifyPropertyPages, "B196B28B-BAB4-101A-B69C-00AA00341D07");
KORVANE_INTERFACE_ID(IFilterGraph, "56A8689F-0AD4-11CE-B03A-0020AF0BA770");
KORVANE_INTERFACE_ID(IGraphBuilder, "56A868A9-0AD4-11CE-B03A-0020AF0BA770");
KORVANE_INTERFACE_ID(ICaptureGraphBuilder2, "93E5A4E0-2D50-11D2-ABFA-00A0C9C6E38D");
KORVANE_INTERFACE_ID(IFileSinkFilter, "A2104830-7C70-11CF-8BCE-00AA00A3F1A6");
KORVANE_INTERFACE_ID(IMediaControl, "56A868B1-0AD4-11CE-B03A-0020AF0BA770");
KORVANE_INTERFACE_ID(IMediaEvent, "56A868B6-0AD4-11CE-B03A-0020AF0BA770");
KORVANE_INTERFACE_ID(IMediaEventSink, "56A868A2-0AD4-11CE-B03A-0020AF0BA770");
KORVANE_INTERFACE_ID(IMediaSample, "56A8689A-0AD4-11CE-B03A-0020AF0BA770");
KORVANE_INTERFACE_ID(IMemInputPin, "56A8689D-0AD4-11CE-B03A-0020AF0BA770");
KORVANE_INTERFACE_ID(ISampleGrabberCB, "0579154A-2B53-4994-B0D0-E773148EFF85");
KORVANE_INTERFACE_ID(ISampleGrabber, "6B652FFF-11FE-4FCE-92AD-0266B5D7C78F");
KORVANE_INTERFACE_ID(IVMRFilterConfig9, "5A804648-4F66-4867-9C43-4F5C822CF1B8");
KORVANE_INTERFACE_ID(IVMRWindowlessControl9, "8F537D09-F85E-4414-B23B-502E54C79927");

// ---------------------------------------------------------------------------------------------
// Device enumeration

struct IBindCtx : IUnknown {
  using ComBase = IUnknown;
};

struct IErrorLog : IUnknown {
  using ComBase = IUnknown;
};

struct IPropertyBag : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog* pErrorLog) = 0;
  virtual HRESULT Write(LPCOLESTR pszPropName, VARIANT* pVar) = 0;
};

struct IMoniker : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT BindToObject(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riidResult,
                               void** ppvResult) = 0;
  virtual HRESULT BindToStorage(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riid, void** ppvObj) = 0;
};

struct IEnumMoniker : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT Next(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumMoniker** ppenum) = 0;
};

struct ICreateDevEnum : IUnknown {
  using ComBase = IUnknown;
  // S_FALSE and no enumerator for an empty category.
  virtual HRESULT CreateClassEnumerator(REFCLSID clsidDeviceClass, IEnumMoniker** ppEnumMoniker,
                                        DWORD dwFlags) = 0;
};

// ---------------------------------------------------------------------------------------------
// Filters and pins

enum FILTER_STATE : LONG { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION : LONG { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

struct IFilterGraph;

struct FILTER_INFO {
  WCHAR achName[128];
  IFilterGraph* pGraph;  // a counted reference the caller releases
};

struct PIN_INFO {
  struct IBaseFilter* pFilter;  // a counted reference the caller releases
  PIN_DIRECTION dir;
  WCHAR achName[128];
};

struct IEnumMediaTypes : IUnknown {
  using ComBase = IUnknown;
  // Each media type handed out is the caller's, freed with DeleteMediaType.
  virtual HRESULT Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cMediaTypes) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumMediaTypes** ppEnum) = 0;
};

struct IPin : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT Disconnect() = 0;
  virtual HRESULT ConnectedTo(IPin** pPin) = 0;
  virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT QueryPinInfo(PIN_INFO* pInfo) = 0;
  virtual HRESULT QueryDirection(PIN_DIRECTION* pPinDir) = 0;
  virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT EnumMediaTypes(IEnumMediaTypes** ppEnum) = 0;
  // Called on an input pin, on the streaming thread, when no more samples will come.
  virtual HRESULT EndOfStream() = 0;
};

struct IEnumPins : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cPins) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumPins** ppEnum) = 0;
};

struct IPersist : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT GetClassID(CLSID* pClassID) = 0;
};

struct IMediaFilter : IPersist {
  using ComBase = IPersist;
  virtual HRESULT Stop() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Run(REFERENCE_TIME tStart) = 0;
  virtual HRESULT GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) = 0;
};

struct IBaseFilter : IMediaFilter {
  using ComBase = IMediaFilter;
  virtual HRESULT EnumPins(IEnumPins** ppEnum) = 0;
  virtual HRESULT FindPin(LPCWSTR Id, IPin** ppPin) = 0;
  virtual HRESULT QueryFilterInfo(FILTER_INFO* pInfo) = 0;
  virtual HRESULT JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) = 0;
  virtual HRESULT QueryVendorInfo(LPWSTR* pVendorInfo) = 0;
};

struct IEnumFilters : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT Next(ULONG cFilters, IBaseFilter** ppFilter, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cFilters) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFilters** ppEnum) = 0;
};

// ---------------------------------------------------------------------------------------------
// Device controls

struct IKsPropertySet : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                      DWORD cbInstanceData, LPVOID pPropData, DWORD cbPropData) = 0;
  virtual HRESULT Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData,
                      DWORD cbInstanceData, LPVOID pPropData, DWORD cbPropData,
                      DWORD* pcbReturned) = 0;
  virtual HRESULT QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) = 0;
};

struct IAMVideoProcAmp : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta,
                           LONG* pDefault, LONG* pCapsFlags) = 0;
  virtual HRESULT Set(LONG Property, LONG lValue, LONG Flags) = 0;
  virtual HRESULT Get(LONG Property, LONG* lValue, LONG* Flags) = 0;
};

struct IAMCameraControl : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT GetRange(LONG Property, LONG* pMin, LONG* pMax, LONG* pSteppingDelta,
                           LONG* pDefault, LONG* pCapsFlags) = 0;
  virtual HRESULT Set(LONG Property, LONG lValue, LONG Flags) = 0;
  virtual HRESULT Get(LONG Property, LONG* lValue, LONG* Flags) = 0;
};

// The capability record IAMStreamConfig::GetStreamCaps fills for a video format.
struct VIDEO_STREAM_CONFIG_CAPS {
  GUID guid;
  ULONG VideoStandard;
  SIZE InputSize, MinCroppingSize, MaxCroppingSize;
  int CropGranularityX, CropGranularityY, CropAlignX, CropAlignY;
  SIZE MinOutputSize, MaxOutputSize;
  int OutputGranularityX, OutputGranularityY;
  int StretchTapsX, StretchTapsY, ShrinkTapsX, ShrinkTapsY;
  LONGLONG MinFrameInterval, MaxFrameInterval;
  LONG MinBitsPerSecond, MaxBitsPerSecond;
};
static_assert(sizeof(VIDEO_STREAM_CONFIG_CAPS) == 128);

struct IAMStreamConfig : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT SetFormat(AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT GetFormat(AM_MEDIA_TYPE** ppmt) = 0;
  virtual HRESULT GetNumberOfCapabilities(int* piCount, int* piSize) = 0;
  virtual HRESULT GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) = 0;
};

struct IAMVideoControl : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT GetCaps(IPin* pPin, LONG* pCapsFlags) = 0;
  virtual HRESULT SetMode(IPin* pPin, LONG Mode) = 0;
  virtual HRESULT GetMode(IPin* pPin, LONG* Mode) = 0;
};

// ---------------------------------------------------------------------------------------------
// Property pages

struct CAUUID {
  ULONG cElems;
  GUID* pElems;  // task memory, freed by the caller with CoTaskMemFree
};

struct ISpecifyPropertyPages : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT GetPages(CAUUID* pPages) = 0;
};

// Shows the pages in the platform's modal property frame and returns when it closes.
HRESULT OleCreatePropertyFrame(HWND hwndOwner, UINT x, UINT y, LPCOLESTR lpszCaption,
                               ULONG cObjects, IUnknown** ppUnk, ULONG cPages,
                               const CLSID* pPageClsID, LCID lcid, DWORD dwReserved,
                               LPVOID pvReserved);

// ---------------------------------------------------------------------------------------------
// Filter graph

struct IFilterGraph : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT AddFilter(IBaseFilter* pFilter, LPCWSTR pName) = 0;
  virtual HRESULT RemoveFilter(IBaseFilter* pFilter) = 0;
  virtual HRESULT EnumFilters(IEnumFilters** ppEnum) = 0;
  virtual HRESULT FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) = 0;
  virtual HRESULT ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT Reconnect(IPin* ppin) = 0;
  virtual HRESULT Disconnect(IPin* ppin) = 0;
  virtual HRESULT SetDefaultSyncSource() = 0;
};

struct IGraphBuilder : IFilterGraph {
  using ComBase = IFilterGraph;
  virtual HRESULT Connect(IPin* ppinOut, IPin* ppinIn) = 0;
  virtual HRESULT Render(IPin* ppinOut) = 0;
};

struct IFileSinkFilter : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) = 0;
};

struct ICaptureGraphBuilder2 : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT SetFiltergraph(IGraphBuilder* pfg) = 0;
  virtual HRESULT GetFiltergraph(IGraphBuilder** ppfg) = 0;
  virtual HRESULT SetOutputFileName(const GUID* pType, LPCOLESTR lpstrFile, IBaseFilter** ppf,
                                    IFileSinkFilter** ppSink) = 0;
  virtual HRESULT FindInterface(const GUID* pCategory, const GUID* pType, IBaseFilter* pf,
                                REFIID riid, void** ppint) = 0;
  virtual HRESULT RenderStream(const GUID* pCategory, const GUID* pType, IUnknown* pSource,
                               IBaseFilter* pfCompressor, IBaseFilter* pfRenderer) = 0;
};

using OAFilterState = LONG;
using LONG_PTR = std::intptr_t;

// A time-out that never ends, for GetState, GetEvent and WaitForCompletion.
inline constexpr LONG INFINITE = -1;

// Event codes of the filter graph (IMediaEvent::GetEvent).
inline constexpr LONG EC_COMPLETE = 0x01;  // every renderer has received its end of stream
inline constexpr LONG EC_USERABORT = 0x02;
inline constexpr LONG EC_ERRORABORT = 0x03;  // param1: the HRESULT that stopped streaming
inline constexpr LONG EC_DEVICE_LOST =
    0x1F;  // param1: the device filter's IUnknown; param2: 0 lost

struct IMediaControl : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(LONG msTimeout, OAFilterState* pfs) = 0;
  virtual HRESULT StopWhenReady() = 0;
};

struct IMediaEvent : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2,
                           LONG msTimeout) = 0;
  virtual HRESULT WaitForCompletion(LONG msTimeout, LONG* pEvCode) = 0;
  virtual HRESULT FreeEventParams(LONG lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) = 0;
};

// What a filter reports to the graph that holds it; the graph turns it into IMediaEvent events.
struct IMediaEventSink : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) = 0;
};

// ---------------------------------------------------------------------------------------------
// Media samples and their delivery

struct IMediaSample : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT GetPointer(BYTE** ppBuffer) = 0;
  virtual LONG GetSize() = 0;
  // Stream times in 100 ns units; VFW_E_SAMPLE_TIME_NOT_SET when the sample carries none.
  virtual HRESULT GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) = 0;
  virtual HRESULT SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) = 0;
  virtual HRESULT IsSyncPoint() = 0;
  virtual HRESULT SetSyncPoint(BOOL bIsSyncPoint) = 0;
  virtual LONG GetActualDataLength() = 0;
  virtual HRESULT SetActualDataLength(LONG lLen) = 0;
};

// The input side of a connection that takes samples.
struct IMemInputPin : IUnknown {
  using ComBase = IUnknown;
  // Called on the streaming thread; S_FALSE asks the sender to deliver no more.
  virtual HRESULT Receive(IMediaSample* pSample) = 0;
  // S_OK when Receive may block (on a file, say), S_FALSE when it never does.
  virtual HRESULT ReceiveCanBlock() = 0;
};

// ---------------------------------------------------------------------------------------------
// Sample grabber

struct ISampleGrabberCB : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT SampleCB(double SampleTime, IMediaSample* pSample) = 0;
  virtual HRESULT BufferCB(double SampleTime, BYTE* pBuffer, LONG BufferLen) = 0;
};

struct ISampleGrabber : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT SetOneShot(BOOL OneShot) = 0;
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* pType) = 0;
  virtual HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* pType) = 0;
  virtual HRESULT SetBufferSamples(BOOL BufferThem) = 0;
  virtual HRESULT GetCurrentBuffer(LONG* pBufferSize, LONG* pBuffer) = 0;
  virtual HRESULT GetCurrentSample(IMediaSample** ppSample) = 0;
  virtual HRESULT SetCallback(ISampleGrabberCB* pCallback, LONG WhichMethodToCallback) = 0;
};

// ---------------------------------------------------------------------------------------------
// VMR-9 renderer

enum VMR9Mode : DWORD { VMR9Mode_Windowed = 1, VMR9Mode_Windowless = 2, VMR9Mode_Renderless = 4 };
enum VMR9AspectRatioMode : DWORD { VMR9ARMode_None = 0, VMR9ARMode_LetterBox = 1 };

struct IVMRFilterConfig9 : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT SetNumberOfStreams(DWORD dwMaxStreams) = 0;
  virtual HRESULT GetNumberOfStreams(DWORD* pdwMaxStreams) = 0;
  virtual HRESULT SetRenderingMode(DWORD Mode) = 0;
  virtual HRESULT GetRenderingMode(DWORD* pMode) = 0;
};

struct IVMRWindowlessControl9 : IUnknown {
  using ComBase = IUnknown;
  virtual HRESULT GetNativeVideoSize(LONG* lpWidth, LONG* lpHeight, LONG* lpARWidth,
                                     LONG* lpARHeight) = 0;
  virtual HRESULT GetMinIdealVideoSize(LONG* lpWidth, LONG* lpHeight) = 0;
  virtual HRESULT GetMaxIdealVideoSize(LONG* lpWidth, LONG* lpHeight) = 0;
  virtual HRESULT SetVideoPosition(const RECT* lpSRCRect, const RECT* lpDSTRect) = 0;
  virtual HRESULT GetVideoPosition(RECT* lpSRCRect, RECT* lpDSTRect) = 0;
  virtual HRESULT GetAspectRatioMode(DWORD* lpAspectRatioMode) = 0;
  virtual HRESULT SetAspectRatioMode(DWORD AspectRatioMode) = 0;
  virtual HRESULT SetVideoClippingWindow(HWND hwnd) = 0;
  virtual HRESULT RepaintVideo(HWND hwnd, void* hdc) = 0;
  virtual HRESULT DisplayModeChanged() = 0;
  virtual HRESULT GetCurrentImage(BYTE** lpDib) = 0;
  virtual HRESULT SetBorderColor(COLORREF Clr) = 0;
  virtual HRESULT GetBorderColor(COLORREF* lpClr) = 0;
};
