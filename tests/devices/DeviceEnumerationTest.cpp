// Device enumeration as callers see it: categories, monikers, property bags, and the
// providers behind them.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "camera/FDirectShow9.h"
#include "platform/devices/DeviceProvider.h"
#include "platform/sim/SimCameras.h"

namespace {

using korvane::com::LiveObjectCount;
using korvane::com::OutstandingTaskMemoryBlocks;
using korvane::devices::DeviceEntry;
using korvane::devices::DeviceProperties;
using korvane::devices::DeviceProvider;
using korvane::devices::ScopedDeviceProviders;
using korvane::sim::ScopedSimCameras;
using korvane::sim::SimCategory;
using korvane::sim::SimDescription;
using korvane::sim::SimDevice;

// Every test gives back each object and each block of task memory it received.
class DeviceEnumeration : public ::testing::Test {
 protected:
  void SetUp() override {
    objects_ = LiveObjectCount();
    blocks_ = OutstandingTaskMemoryBlocks();
  }
  void TearDown() override {
    EXPECT_EQ(LiveObjectCount(), objects_);
    EXPECT_EQ(OutstandingTaskMemoryBlocks(), blocks_);
  }

 private:
  std::size_t objects_ = 0, blocks_ = 0;
};

ComPtr<ICreateDevEnum> CreateDevEnum() {
  ComPtr<ICreateDevEnum> devEnum;
  EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                             IID_ICreateDevEnum, devEnum.ReleaseAndGetVoidAddressOf()),
            S_OK);
  return devEnum;
}

std::vector<ComPtr<IMoniker>> Monikers(const GUID& category) {
  std::vector<ComPtr<IMoniker>> monikers;
  ComPtr<IEnumMoniker> enumerator;
  if (CreateDevEnum()->CreateClassEnumerator(category, enumerator.ReleaseAndGetAddressOf(), 0) !=
      S_OK) {
    return monikers;
  }
  ComPtr<IMoniker> moniker;
  while (enumerator->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    monikers.push_back(moniker);
  }
  return monikers;
}

// The field as the bag answers it: its text, or the failure code as "error 0x...".
std::string ReadField(IMoniker* moniker, const char16_t* field) {
  ComPtr<IPropertyBag> bag;
  const HRESULT bound =
      moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReleaseAndGetVoidAddressOf());
  if (FAILED(bound)) return "no bag";
  korvane::com::Variant value;
  const HRESULT hr = bag->Read(field, &value, nullptr);
  if (FAILED(hr)) {
    EXPECT_EQ(value.get().vt, VT_EMPTY);
    return "error " + std::to_string(static_cast<std::uint32_t>(hr));
  }
  return value.get().vt == VT_I4 ? "int " + std::to_string(value.get().lVal) : value.AsString();
}

std::vector<std::string> FriendlyNames(const GUID& category) {
  std::vector<std::string> names;
  for (const auto& moniker : Monikers(category))
    names.push_back(ReadField(moniker.Get(), u"FriendlyName"));
  return names;
}

SimDevice Named(SimCategory category, const std::string& name) {
  SimDevice device;
  device.category = category;
  device.friendlyName = name;
  return device;
}

TEST_F(DeviceEnumeration, EachCategoryListsItsDevicesInDescriptionOrder) {
  SimDescription description;
  description.devices = {Named(SimCategory::VideoInput, "Cam A"),
                         Named(SimCategory::AudioInput, "Mic"),
                         Named(SimCategory::VideoInput, "Cam B"),
                         Named(SimCategory::VideoCompressor, "Video codec"),
                         Named(SimCategory::AudioCompressor, "Audio codec"),
                         Named(SimCategory::VideoInput, "Cam A")};
  description.devices[2].absent = true;  // unplugged devices are not listed
  ScopedSimCameras cameras(description);

  EXPECT_EQ(FriendlyNames(CLSID_VideoInputDeviceCategory),
            (std::vector<std::string>{"Cam A", "Cam A"}));
  EXPECT_EQ(FriendlyNames(CLSID_AudioInputDeviceCategory), (std::vector<std::string>{"Mic"}));
  EXPECT_EQ(FriendlyNames(CLSID_VideoCompressorCategory),
            (std::vector<std::string>{"Video codec"}));
  EXPECT_EQ(FriendlyNames(CLSID_AudioCompressorCategory),
            (std::vector<std::string>{"Audio codec"}));
}

TEST_F(DeviceEnumeration, EmptyCategoryAnswersSFalseWithoutEnumerator) {
  ScopedSimCameras cameras(SimDescription{{Named(SimCategory::VideoInput, "Only camera")}});
  IEnumMoniker* enumerator = reinterpret_cast<IEnumMoniker*>(0x1);
  EXPECT_EQ(CreateDevEnum()->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, &enumerator, 0),
            S_FALSE);
  EXPECT_EQ(enumerator, nullptr);
}

TEST_F(DeviceEnumeration, BagAnswersPresentFieldsAndFailsForMissingOnes) {
  SimDevice full = Named(SimCategory::AudioInput, "Mikrofon \xC3\xBC");  // non-ASCII survives
  full.devicePath = "sim:path/1";
  full.description = "A microphone";
  full.waveInId = 7;
  SimDevice bare;
  bare.category = SimCategory::AudioInput;
  ScopedSimCameras cameras(SimDescription{{full, bare}});

  const auto monikers = Monikers(CLSID_AudioInputDeviceCategory);
  ASSERT_EQ(monikers.size(), 2u);
  const std::string missing = "error " + std::to_string(static_cast<std::uint32_t>(E_INVALIDARG));
  struct Case {
    const char16_t* field;
    std::string full, bare;
  } cases[] = {
      {u"FriendlyName", "Mikrofon \xC3\xBC", missing},
      {u"DevicePath", "sim:path/1", missing},
      {u"Description", "A microphone", missing},
      {u"WaveInID", "int 7", missing},
      {u"NoSuchField", missing, missing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(korvane::com::Utf16ToUtf8(c.field));
    EXPECT_EQ(ReadField(monikers[0].Get(), c.field), c.full);
    EXPECT_EQ(ReadField(monikers[1].Get(), c.field), c.bare);
  }
}

TEST_F(DeviceEnumeration, UnbindableAndBaglessMonikersFailOnlyThemselves) {
  SimDevice unbindable = Named(SimCategory::VideoInput, "Unbindable");
  unbindable.unbindable = true;
  SimDevice bagless = Named(SimCategory::VideoInput, "Bagless");
  bagless.noPropertyBag = true;
  SimDevice faulty = Named(SimCategory::VideoInput, "Faulty");
  faulty.faults["IMoniker::BindToObject"] = HRESULT_ERROR_BUSY;
  ScopedSimCameras cameras(
      SimDescription{{unbindable, bagless, faulty, Named(SimCategory::VideoInput, "Good")}});

  const auto monikers = Monikers(CLSID_VideoInputDeviceCategory);
  ASSERT_EQ(monikers.size(), 4u);
  const HRESULT expectedBind[] = {E_FAIL, S_OK, HRESULT_ERROR_BUSY, S_OK};
  for (std::size_t i = 0; i < monikers.size(); ++i) {
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(monikers[i]->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                        filter.ReleaseAndGetVoidAddressOf()),
              expectedBind[i])
        << i;
    EXPECT_EQ(filter == nullptr, FAILED(expectedBind[i])) << i;
  }
  ComPtr<IPropertyBag> bag;
  EXPECT_TRUE(FAILED(monikers[1]->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                                bag.ReleaseAndGetVoidAddressOf())));
  EXPECT_EQ(bag, nullptr);
  EXPECT_EQ(ReadField(monikers[3].Get(), u"FriendlyName"), "Good");
  EXPECT_EQ(cameras.Store().CallCount("IMoniker::BindToObject"), 4u);
}

TEST_F(DeviceEnumeration, MonikerEnumeratorBatchesSkipsResetsAndClones) {
  SimDescription description;
  for (const char* name : {"0", "1", "2", "3"}) {
    description.devices.push_back(Named(SimCategory::VideoInput, name));
  }
  ScopedSimCameras cameras(description);
  ComPtr<IEnumMoniker> enumerator;
  ASSERT_EQ(CreateDevEnum()->CreateClassEnumerator(CLSID_VideoInputDeviceCategory,
                                                   enumerator.ReleaseAndGetAddressOf(), 0),
            S_OK);
  EXPECT_EQ(enumerator->Skip(1), S_OK);
  ComPtr<IEnumMoniker> clone;
  ASSERT_EQ(enumerator->Clone(clone.ReleaseAndGetAddressOf()), S_OK);

  IMoniker* batch[3] = {};
  ULONG fetched = 99;
  EXPECT_EQ(enumerator->Next(3, batch, &fetched), S_OK);
  EXPECT_EQ(fetched, 3u);
  EXPECT_EQ(ReadField(batch[0], u"FriendlyName"), "1");
  EXPECT_EQ(ReadField(batch[2], u"FriendlyName"), "3");
  for (IMoniker* moniker : batch) moniker->Release();
  EXPECT_EQ(enumerator->Next(1, batch, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(enumerator->Next(2, batch, nullptr), E_POINTER);  // a batch needs its count back

  // The clone goes on from where the original stood when it was cloned.
  ComPtr<IMoniker> moniker;
  ASSERT_EQ(clone->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr), S_OK);
  EXPECT_EQ(ReadField(moniker.Get(), u"FriendlyName"), "1");
  EXPECT_EQ(enumerator->Reset(), S_OK);
  ASSERT_EQ(enumerator->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr), S_OK);
  EXPECT_EQ(ReadField(moniker.Get(), u"FriendlyName"), "0");
  EXPECT_EQ(enumerator->Skip(10), S_FALSE);
}

// A provider with fixed devices that only know their name.
class FixedProvider final : public DeviceProvider {
 public:
  explicit FixedProvider(std::vector<std::string> names) : names_(std::move(names)) {}
  std::vector<std::shared_ptr<DeviceEntry>> Enumerate(const GUID& category) override {
    std::vector<std::shared_ptr<DeviceEntry>> entries;
    if (category != CLSID_VideoInputDeviceCategory) return entries;
    for (const auto& name : names_) entries.push_back(std::make_shared<Entry>(name));
    return entries;
  }

 private:
  struct Entry final : DeviceEntry {
    explicit Entry(std::string n) : name(std::move(n)) {}
    HRESULT ReadProperties(DeviceProperties* properties) override {
      properties->friendlyName = name;
      return S_OK;
    }
    HRESULT BindToObject(REFIID, void**) override { return E_NOTIMPL; }
    std::string name;
  };
  std::vector<std::string> names_;
};

TEST_F(DeviceEnumeration, ProvidersAreAskedInOrderAndRestoredAfterTheirScope) {
  ScopedDeviceProviders outer({std::make_shared<FixedProvider>(std::vector<std::string>{"outer"})});
  {
    ScopedDeviceProviders inner(
        {std::make_shared<FixedProvider>(std::vector<std::string>{"a", "b"}),
         std::make_shared<FixedProvider>(std::vector<std::string>{"c"})});
    EXPECT_EQ(FriendlyNames(CLSID_VideoInputDeviceCategory),
              (std::vector<std::string>{"a", "b", "c"}));
    ScopedSimCameras sim(SimDescription{{Named(SimCategory::VideoInput, "sim")}});
    EXPECT_EQ(FriendlyNames(CLSID_VideoInputDeviceCategory), (std::vector<std::string>{"sim"}));
  }
  EXPECT_EQ(FriendlyNames(CLSID_VideoInputDeviceCategory), (std::vector<std::string>{"outer"}));
  {
    ScopedDeviceProviders none({});
    IEnumMoniker* enumerator = nullptr;
    EXPECT_EQ(
        CreateDevEnum()->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &enumerator, 0),
        S_FALSE);
  }
}

TEST_F(DeviceEnumeration, EnumerationRunsSafelyWhileProvidersChange) {
  const auto one = std::make_shared<FixedProvider>(std::vector<std::string>{"one"});
  const auto two = std::make_shared<FixedProvider>(std::vector<std::string>{"x", "y"});
  ScopedDeviceProviders scope({one});
  std::atomic<bool> stop{false};
  std::thread swapper([&] {
    for (int i = 0; !stop; ++i) {
      korvane::devices::ReplaceDeviceProviders({i % 2 ? one : two});
    }
  });
  for (int i = 0; i < 300; ++i) {
    const auto names = FriendlyNames(CLSID_VideoInputDeviceCategory);
    // Each enumeration sees one whole provider list, never a mix.
    ASSERT_TRUE(names == std::vector<std::string>{"one"} ||
                names == (std::vector<std::string>{"x", "y"}));
  }
  stop = true;
  swapper.join();
}

}  // namespace
