// The control interfaces of a simulated camera behave as a driver's: by index, values and
// flags stored as given, configured faults, unplugging and missing interfaces.

#include <chrono>
#include <functional>

#include "tests/sim/SimTestSupport.h"

namespace korvane::sim::testing {
namespace {

// IAMVideoProcAmp and IAMCameraControl have the same methods; tests run on either.
struct ControlApi {
  const char* name;
  std::map<LONG, SimControl> SimDevice::*controls;
  std::function<HRESULT(LONG, LONG*, LONG*)> get;
  std::function<HRESULT(LONG, LONG, LONG)> set;
  std::function<HRESULT(LONG, LONG*, LONG*, LONG*, LONG*, LONG*)> getRange;
};

template <class Interface>
ControlApi ApiOf(const ComPtr<Interface>& control, const char* name,
                 std::map<LONG, SimControl> SimDevice::*controls) {
  return ControlApi{name, controls,
                    [control](LONG p, LONG* v, LONG* f) { return control->Get(p, v, f); },
                    [control](LONG p, LONG v, LONG f) { return control->Set(p, v, f); },
                    [control](LONG p, LONG* a, LONG* b, LONG* c, LONG* d, LONG* e) {
                      return control->GetRange(p, a, b, c, d, e);
                    }};
}

std::vector<ControlApi> BothInterfaces(IBaseFilter* filter) {
  return {ApiOf(Query<IAMVideoProcAmp>(filter), "IAMVideoProcAmp", &SimDevice::videoProcAmp),
          ApiOf(Query<IAMCameraControl>(filter), "IAMCameraControl", &SimDevice::cameraControl)};
}

using SimControls = LeakCheckedTest;

TEST_F(SimControls, GetAndGetRangeAnswerTheDescriptionAndNotFoundForOtherIndexes) {
  SimDevice device = SmallCamera();
  device.cameraControl[CameraControl_Pan] = SimControl{-5, 5, 1, 0, 1, -4, 7};
  ScopedSimCameras cameras(SimDescription{{device}});
  const ComPtr<IBaseFilter> filter = VideoFilter();
  ASSERT_TRUE(filter);
  for (const ControlApi& api : BothInterfaces(filter.Get())) {
    SCOPED_TRACE(api.name);
    for (const auto& [index, expected] : device.*api.controls) {
      LONG value = 0, flags = 0, min = 0, max = 0, step = 0, defaultValue = 0, caps = 0;
      ASSERT_EQ(api.get(index, &value, &flags), S_OK);
      EXPECT_EQ(value, expected.value);
      EXPECT_EQ(flags, expected.flags);
      ASSERT_EQ(api.getRange(index, &min, &max, &step, &defaultValue, &caps), S_OK);
      EXPECT_EQ((SimControl{min, max, step, defaultValue, caps, value, flags}), expected);
    }
    for (const LONG unsupported : {12, 13, -1, 1000}) {
      LONG value = 0, flags = 0, a = 0, b = 0, c = 0, d = 0, e = 0;
      if ((device.*api.controls).contains(unsupported)) continue;
      EXPECT_EQ(api.get(unsupported, &value, &flags), HRESULT_ERROR_NOT_FOUND) << unsupported;
      EXPECT_EQ(api.set(unsupported, 1, 2), HRESULT_ERROR_NOT_FOUND) << unsupported;
      EXPECT_EQ(api.getRange(unsupported, &a, &b, &c, &d, &e), HRESULT_ERROR_NOT_FOUND);
    }
  }
  // Nothing was added by the failed writes.
  EXPECT_EQ(cameras.Store().Read().devices[0], device);
}

TEST_F(SimControls, SetStoresValueAndFlagsAsGivenAndTheNextGetSeesThem) {
  ScopedSimCameras cameras(SimDescription{{SmallCamera()}});
  const ComPtr<IBaseFilter> filter = VideoFilter();
  for (const ControlApi& api : BothInterfaces(filter.Get())) {
    SCOPED_TRACE(api.name);
    const LONG index = (cameras.Store().Read().devices[0].*api.controls).begin()->first;
    // Out of range and with odd flags: what to refuse is the driver's choice, this one takes all.
    ASSERT_EQ(api.set(index, 12345, 3), S_OK);
    LONG value = 0, flags = 0;
    ASSERT_EQ(api.get(index, &value, &flags), S_OK);
    EXPECT_EQ(value, 12345);
    EXPECT_EQ(flags, 3);
    EXPECT_EQ((cameras.Store().Read().devices[0].*api.controls).at(index).value, 12345);
  }
  // Another writer's change shows at the very next call: nothing is cached.
  cameras.Store().Modify([](SimDescription& d) { d.devices[0].videoProcAmp[0].value = -7; });
  LONG value = 0, flags = 0;
  ASSERT_EQ(Query<IAMVideoProcAmp>(filter.Get())->Get(0, &value, &flags), S_OK);
  EXPECT_EQ(value, -7);
}

TEST_F(SimControls, ConfiguredFaultsAnswerInsteadOfTheCall) {
  SimDevice device = SmallCamera();
  device.faults = {{"IAMVideoProcAmp::Get#9", E_FAIL},
                   {"IAMVideoProcAmp::Get", HRESULT_ERROR_BUSY},
                   {"IAMVideoProcAmp::Get#0", HRESULT_ERROR_NOT_FOUND},
                   {"IAMCameraControl::Set", E_ACCESSDENIED},
                   {"IAMCameraControl::GetRange#3", MakeHResult(0x80041234)}};
  ScopedSimCameras cameras(SimDescription{{device}});
  const ComPtr<IBaseFilter> filter = VideoFilter();
  const auto amp = Query<IAMVideoProcAmp>(filter.Get());
  const auto camera = Query<IAMCameraControl>(filter.Get());
  LONG v = 0, f = 0, a = 0, b = 0, c = 0, d = 0, e = 0;
  const struct {
    const char* call;
    HRESULT got, expected;
  } cases[] = {
      // The fault for one index wins over the one for the whole method.
      {"amp Get 9", amp->Get(9, &v, &f), E_FAIL},
      {"amp Get 0", amp->Get(0, &v, &f), HRESULT_ERROR_NOT_FOUND},
      {"amp Get 5 (method fault)", amp->Get(5, &v, &f), HRESULT_ERROR_BUSY},
      {"amp Set 9 (no fault)", amp->Set(9, 1, 2), S_OK},
      {"amp GetRange 9 (no fault)", amp->GetRange(9, &a, &b, &c, &d, &e), S_OK},
      {"camera Set 3", camera->Set(3, 150, 2), E_ACCESSDENIED},
      {"camera GetRange 3", camera->GetRange(3, &a, &b, &c, &d, &e), MakeHResult(0x80041234)},
      {"camera Get 3 (no fault)", camera->Get(3, &v, &f), S_OK},
  };
  for (const auto& entry : cases) EXPECT_EQ(entry.got, entry.expected) << entry.call;
  // A failed write changed nothing.
  EXPECT_EQ(v, 200);
}

TEST_F(SimControls, UnpluggedDeviceAnswersNotConnectedOnEveryInterface) {
  ScopedSimCameras cameras(SimDescription{{SmallCamera("A"), SmallCamera("B")}});
  const ComPtr<IBaseFilter> filter = VideoFilter();
  const ComPtr<IPin> pin = FirstPin(filter.Get());
  const auto amp = Query<IAMVideoProcAmp>(filter.Get());
  const auto camera = Query<IAMCameraControl>(filter.Get());
  const auto ks = Query<IKsPropertySet>(filter.Get());
  const auto pinKs = Query<IKsPropertySet>(pin.Get());
  const auto config = Query<IAMStreamConfig>(pin.Get());
  ASSERT_TRUE(amp && camera && ks && pinKs && config);

  auto allCalls = [&] {
    LONG v = 0, f = 0;
    DWORD record[2] = {};
    GUID category{};
    DWORD returned = 0;
    AM_MEDIA_TYPE* type = nullptr;
    IEnumMediaTypes* types = nullptr;
    IEnumPins* pins = nullptr;
    FILTER_INFO info{};
    std::vector<HRESULT> results{
        amp->Get(0, &v, &f),
        amp->Set(0, 1, 2),
        camera->GetRange(3, &v, &f, &v, &f, &v),
        ks->Get(PROPSETID_VIDCAP_CAMERACONTROL_FLASH, 0, nullptr, 0, record, 8, &returned),
        pinKs->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16, &returned),
        config->GetFormat(&type),
        pin->EnumMediaTypes(&types),
        filter->EnumPins(&pins),
        filter->QueryFilterInfo(&info)};
    DeleteSimMediaType(type);
    if (types) types->Release();
    if (pins) pins->Release();
    if (info.pGraph) info.pGraph->Release();
    return results;
  };
  for (const HRESULT hr : allCalls()) ASSERT_EQ(hr, S_OK);

  cameras.Store().Modify([](SimDescription& d) { d.devices[0].absent = true; });
  for (const HRESULT hr : allCalls()) EXPECT_EQ(hr, HRESULT_ERROR_DEVICE_NOT_CONNECTED);
  // It is no longer enumerated; the other camera is now the first.
  const ComPtr<IBaseFilter> other = VideoFilter();
  FILTER_INFO info{};
  ASSERT_EQ(other->QueryFilterInfo(&info), S_OK);
  EXPECT_EQ(std::u16string(info.achName), u"B");

  // Plugged in again, the interfaces handed out before work again.
  cameras.Store().Modify([](SimDescription& d) { d.devices[0].absent = false; });
  for (const HRESULT hr : allCalls()) EXPECT_EQ(hr, S_OK);
  // Gone from the description altogether: not connected as well.
  cameras.Store().Modify([](SimDescription& d) { d.devices.clear(); });
  for (const HRESULT hr : allCalls()) EXPECT_EQ(hr, HRESULT_ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(SimControls, MissingInterfacesAreRefusedOthersStay) {
  const struct {
    const char* missing;
    bool onPin;
    const IID* iid;
  } cases[] = {
      {"IAMVideoProcAmp", false, &IID_IAMVideoProcAmp},
      {"IAMCameraControl", false, &IID_IAMCameraControl},
      {"IKsPropertySet", false, &IID_IKsPropertySet},
      {"IAMVideoControl", false, &IID_IAMVideoControl},
      {"ISpecifyPropertyPages", false, &IID_ISpecifyPropertyPages},
      {"Pin.IKsPropertySet", true, &IID_IKsPropertySet},
      {"IAMStreamConfig", true, &IID_IAMStreamConfig},
      {"Pin.ISpecifyPropertyPages", true, &IID_ISpecifyPropertyPages},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.missing);
    SimDevice device = SmallCamera();
    device.missingInterfaces = {c.missing};
    ScopedSimCameras cameras(SimDescription{{device}});
    const ComPtr<IBaseFilter> filter = VideoFilter();
    const ComPtr<IPin> pin = FirstPin(filter.Get());
    ASSERT_TRUE(pin);
    IUnknown* object = c.onPin ? static_cast<IUnknown*>(pin.Get()) : filter.Get();
    void* result = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(object->QueryInterface(*c.iid, &result), E_NOINTERFACE);
    EXPECT_EQ(result, nullptr);
    // The same interface on the other object, and the rest of this one, are still there.
    IUnknown* other = c.onPin ? static_cast<IUnknown*>(filter.Get()) : pin.Get();
    if (*c.iid == IID_IKsPropertySet || *c.iid == IID_ISpecifyPropertyPages) {
      EXPECT_TRUE(Query<IUnknown>(other)) << "other object";
      ComPtr<IUnknown> same;
      EXPECT_EQ(other->QueryInterface(*c.iid, same.ReleaseAndGetVoidAddressOf()), S_OK);
    }
    EXPECT_TRUE(Query<IPin>(pin.Get()));
  }
}

TEST_F(SimControls, InterfacesShareTheFilterIdentityAndLifetime) {
  ScopedSimCameras cameras(SimDescription{{SmallCamera()}});
  ComPtr<IAMCameraControl> camera;
  {
    const ComPtr<IBaseFilter> filter = VideoFilter();
    camera = Query<IAMCameraControl>(filter.Get());
    const auto fromControl = Query<IUnknown>(camera.Get());
    EXPECT_EQ(fromControl, Query<IUnknown>(filter.Get()));
    EXPECT_EQ(Query<IBaseFilter>(Query<IAMVideoProcAmp>(camera.Get()).Get()), filter);
  }
  // The filter lives as long as one of its interfaces is held.
  LONG value = 0, flags = 0;
  EXPECT_EQ(camera->Get(CameraControl_Zoom, &value, &flags), S_OK);
  EXPECT_EQ(value, 200);
}

TEST_F(SimControls, KsRecordsReadWriteAndTellTooSmallBuffersFromUnsupportedSets) {
  SimDevice device = SmallCamera();
  device.stabilization.reset();
  ScopedSimCameras cameras(SimDescription{{device}});
  const auto ks = Query<IKsPropertySet>(VideoFilter().Get());
  ASSERT_TRUE(ks);
  const GUID& flash = PROPSETID_VIDCAP_CAMERACONTROL_FLASH;
  const GUID& stabilization = PROPSETID_VIDCAP_CAMERACONTROL_VIDEO_STABILIZATION;

  DWORD record[2] = {};
  DWORD returned = 0;
  ASSERT_EQ(ks->Get(flash, 0, nullptr, 0, record, 8, &returned), S_OK);
  EXPECT_EQ(returned, 8u);
  EXPECT_EQ(record[0], 2u);
  EXPECT_EQ(record[1], 1u);

  BYTE probe = 0;
  const HRESULT small = ks->Get(flash, 0, nullptr, 0, &probe, 1, &returned);
  EXPECT_TRUE(FAILED(small));
  EXPECT_NE(small, HRESULT_ERROR_NOT_FOUND);
  EXPECT_NE(small, HRESULT_ERROR_SET_NOT_FOUND);
  EXPECT_EQ(ks->Get(stabilization, 0, nullptr, 0, &probe, 1, &returned),
            HRESULT_ERROR_SET_NOT_FOUND);
  EXPECT_EQ(ks->Get(AMPROPSETID_Pin, 0, nullptr, 0, record, 8, &returned),
            HRESULT_ERROR_SET_NOT_FOUND);
  EXPECT_EQ(ks->Get(flash, 1, nullptr, 0, record, 8, &returned), HRESULT_ERROR_NOT_FOUND);

  const DWORD written[2] = {0, 3};
  ASSERT_EQ(ks->Set(flash, 0, nullptr, 0, const_cast<DWORD*>(written), 8), S_OK);
  EXPECT_EQ(cameras.Store().Read().devices[0].flash, (SimKsRecord{0, 3}));
  EXPECT_EQ(ks->Set(stabilization, 0, nullptr, 0, const_cast<DWORD*>(written), 8),
            HRESULT_ERROR_SET_NOT_FOUND);
  EXPECT_FALSE(cameras.Store().Read().devices[0].stabilization.has_value());
}

TEST_F(SimControls, EveryCallIsCountedAndWaitsTheLatency) {
  SimDevice device = SmallCamera();
  device.latency = std::chrono::milliseconds(20);
  ScopedSimCameras cameras(SimDescription{{device}});
  const auto amp = Query<IAMVideoProcAmp>(VideoFilter().Get());
  cameras.Store().ResetCallCounts();
  LONG value = 0, flags = 0;
  const auto before = std::chrono::steady_clock::now();
  amp->Get(0, &value, &flags);
  // A lower bound only: a busy machine may be slower, never faster.
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(20));
  amp->Get(9, &value, &flags);
  amp->Set(0, 1, 2);
  amp->Get(77, &value, &flags);  // failed calls count too
  EXPECT_EQ(cameras.Store().CallCount("IAMVideoProcAmp::Get"), 3u);
  EXPECT_EQ(cameras.Store().CallCount("IAMVideoProcAmp::Get#9"), 1u);
  EXPECT_EQ(cameras.Store().CallCount("IAMVideoProcAmp::Set#0"), 1u);
  EXPECT_EQ(cameras.Store().CallCount("IAMCameraControl::Get"), 0u);
  cameras.Store().ResetCallCounts();
  EXPECT_EQ(cameras.Store().CallCount("IAMVideoProcAmp::Get"), 0u);
}

}  // namespace
}  // namespace korvane::sim::testing
