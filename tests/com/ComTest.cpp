#include <gtest/gtest.h>

#include <cstring>

#include "camera/FDirectShow9.h"

namespace {

using korvane::com::ComObject;
using korvane::com::MakeCom;

class TestFilter final : public ComObject<IBaseFilter, IAMVideoProcAmp> {
 public:
  HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT Stop() override { return S_OK; }
  HRESULT Pause() override { return S_OK; }
  HRESULT Run(REFERENCE_TIME) override { return S_OK; }
  HRESULT GetState(DWORD, FILTER_STATE*) override { return E_NOTIMPL; }
  HRESULT EnumPins(IEnumPins**) override { return E_NOTIMPL; }
  HRESULT FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
  HRESULT QueryFilterInfo(FILTER_INFO*) override { return E_NOTIMPL; }
  HRESULT JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
  HRESULT GetRange(LONG, LONG*, LONG*, LONG*, LONG*, LONG*) override { return E_NOTIMPL; }
  HRESULT Set(LONG, LONG, LONG) override { return E_NOTIMPL; }
  HRESULT Get(LONG, LONG*, LONG*) override { return E_NOTIMPL; }
};

TEST(ComObjectTest, QueryInterfaceFollowsTheInterfaceChainAndCountsReferences) {
  const std::size_t before = korvane::com::LiveObjectCount();
  {
    ComPtr<TestFilter> filter = MakeCom<TestFilter>();
    EXPECT_EQ(korvane::com::LiveObjectCount(), before + 1);
    // IBaseFilter derives from IMediaFilter and IPersist: all three answer.
    EXPECT_TRUE(filter.As<IBaseFilter>());
    EXPECT_TRUE(filter.As<IMediaFilter>());
    EXPECT_TRUE(filter.As<IPersist>());
    EXPECT_TRUE(filter.As<IAMVideoProcAmp>());
    EXPECT_TRUE(filter.As<IUnknown>());
    ComPtr<IAMCameraControl> missing;
    EXPECT_EQ(filter.As(&missing), E_NOINTERFACE);
    EXPECT_FALSE(missing);
  }
  EXPECT_EQ(korvane::com::LiveObjectCount(), before);
}

TEST(ComRuntimeTest, CoCreateInstanceUsesTheRegistry) {
  const CLSID clsid = MakeGuid("12345678-1234-1234-1234-123456789ABC");
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  {
    korvane::com::ScopedClassRegistration registration(clsid,
                                                       korvane::com::FactoryOf<TestFilter>());
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               filter.ReleaseAndGetVoidAddressOf()),
              S_OK);
    EXPECT_TRUE(filter);
    ComPtr<IUnknown> outer = filter.As<IUnknown>();
    EXPECT_EQ(CoCreateInstance(clsid, outer.Get(), CLSCTX_INPROC_SERVER, IID_IBaseFilter, &object),
              CLASS_E_NOAGGREGATION);
  }
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &object),
            REGDB_E_CLASSNOTREG);
}

// The platform registers its default classes whenever cameras are installed; a class a test
// stands in for, or leaves out on purpose, keeps that registration meanwhile.
TEST(ComRuntimeTest, DefaultClassesNeverReplaceAStandInOrADeliberateAbsence) {
  const CLSID clsid = MakeGuid("12345678-1234-1234-1234-123456789ABD");
  const auto creates = [&] {
    ComPtr<IBaseFilter> filter;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                            filter.ReleaseAndGetVoidAddressOf());
  };
  const ClassFactory fails = [](REFIID, void**) { return E_FAIL; };
  {
    korvane::com::ScopedClassRegistration absent(clsid, {});
    korvane::com::RegisterClassUnlessSet(clsid, korvane::com::FactoryOf<TestFilter>());
    EXPECT_EQ(creates(), REGDB_E_CLASSNOTREG);
    {
      korvane::com::ScopedClassRegistration standIn(clsid, fails);
      korvane::com::RegisterClassUnlessSet(clsid, korvane::com::FactoryOf<TestFilter>());
      EXPECT_EQ(creates(), E_FAIL);
    }
    EXPECT_EQ(creates(), REGDB_E_CLASSNOTREG);
  }
  korvane::com::RegisterClassUnlessSet(clsid, korvane::com::FactoryOf<TestFilter>());
  EXPECT_EQ(creates(), S_OK);
  korvane::com::UnregisterClass(clsid);
  EXPECT_EQ(creates(), REGDB_E_CLASSNOTREG);
}

TEST(GuidTest, ParsesAndPrintsTheRegistrySpelling) {
  EXPECT_EQ(korvane::com::GuidToString(PROPSETID_VIDCAP_CAMERACONTROL_FLASH),
            "{785E8F49-63A2-4144-AB70-FFB278FA26CE}");
  EXPECT_EQ(korvane::com::GuidFromString("{785e8f49-63a2-4144-ab70-ffb278fa26ce}"),
            PROPSETID_VIDCAP_CAMERACONTROL_FLASH);
  EXPECT_EQ(korvane::com::GuidFromString("43964BD3-7716-404E-8BE1-D299B20E50FD"),
            PROPSETID_VIDCAP_CAMERACONTROL_VIDEO_STABILIZATION);
  for (const char* bad :
       {"", "{}", "785E8F49-63A2-4144-AB70-FFB278FA26C", "785E8F49x63A2-4144-AB70-FFB278FA26CE",
        "785E8F49-63A2-4144-AB70-FFB278FA26CG"})
    EXPECT_FALSE(korvane::com::GuidFromString(bad)) << bad;
}

TEST(MediaTypeTest, FormatBlockHasTheFrameworkByteLayout) {
  VIDEOINFOHEADER header{};
  header.AvgTimePerFrame = 333333;
  header.bmiHeader.biWidth = 640;
  header.bmiHeader.biHeight = -480;
  header.bmiHeader.biBitCount = 16;
  header.bmiHeader.biCompression = MakeFourCC('Y', 'U', 'Y', '2');
  BYTE bytes[sizeof header];
  std::memcpy(bytes, &header, sizeof header);
  const BYTE expected_time[] = {0x15, 0x16, 0x05, 0, 0, 0, 0, 0};  // 333333 little-endian
  EXPECT_EQ(std::memcmp(bytes + 40, expected_time, 8), 0);
  EXPECT_EQ(bytes[48 + 4], 0x80);  // biWidth 640 = 0x280
  EXPECT_EQ(bytes[48 + 5], 0x02);
  const BYTE minus_480[] = {0x20, 0xFE, 0xFF, 0xFF};
  EXPECT_EQ(std::memcmp(bytes + 56, minus_480, 4), 0);
  EXPECT_EQ(std::memcmp(bytes + 64, "YUY2", 4), 0);  // biCompression, first character first
  EXPECT_EQ(MEDIASUBTYPE_YUY2, MakeGuid("32595559-0000-0010-8000-00AA00389B71"));
}

TEST(MediaTypeTest, CreateMediaTypeCopiesDeeplyIntoTaskMemory) {
  const std::size_t before = korvane::com::OutstandingTaskMemoryBlocks();
  VIDEOINFOHEADER header{};
  header.bmiHeader.biWidth = 320;
  AM_MEDIA_TYPE source{MEDIATYPE_Video,
                       MEDIASUBTYPE_YUY2,
                       TRUE,
                       FALSE,
                       0,
                       FORMAT_VideoInfo,
                       nullptr,
                       sizeof header,
                       reinterpret_cast<BYTE*>(&header)};
  AM_MEDIA_TYPE* copy = korvane::com::CreateMediaType(source);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(korvane::com::OutstandingTaskMemoryBlocks(), before + 2);
  EXPECT_NE(copy->pbFormat, source.pbFormat);
  EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(copy->pbFormat)->bmiHeader.biWidth, 320);
  CoTaskMemFree(copy->pbFormat);
  CoTaskMemFree(copy);
  EXPECT_EQ(korvane::com::OutstandingTaskMemoryBlocks(), before);
}

TEST(ErrorTextTest, MediaTextsSystemTextsAndTheFallback) {
  WCHAR buffer[160];
  EXPECT_GT(AMGetErrorTextW(VFW_E_CANNOT_CONNECT, buffer, 160), 0u);
  EXPECT_EQ(AMGetErrorTextW(E_FAIL, buffer, 160), 0u);  // a system code, not the framework's
  WCHAR tiny[4];
  EXPECT_EQ(AMGetErrorTextW(VFW_E_CANNOT_CONNECT, tiny, 4), 3u);
  EXPECT_EQ(tiny[3], 0);
  EXPECT_EQ(korvane::com::OleErrorMessage(HRESULT_ERROR_NOT_FOUND), "The element was not found");
  EXPECT_EQ(korvane::com::OleErrorMessage(MakeHResult(0x8badf00d)), "OLE error 8badf00d");
}

TEST(WideStringTest, RoundTripsAndReplacesInvalidInput) {
  const std::string text = "Kamera \xC3\xA4 \xF0\x9F\x93\xB7";
  EXPECT_EQ(korvane::com::Utf16ToUtf8(korvane::com::Utf8ToUtf16(text)), text);
  EXPECT_EQ(korvane::com::Utf8ToUtf16("a\xFF"
                                      "b"),
            u"a\uFFFDb");
  EXPECT_EQ(korvane::com::Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong '/'
  BSTR bstr = SysAllocString(u"FriendlyName");
  EXPECT_EQ(SysStringLen(bstr), 12u);
  SysFreeString(bstr);
}

}  // namespace

// Frame-sized blocks are handed out again once given back; whatever block comes, it holds the
// whole request (AddressSanitizer builds see any write past it) and is counted as outstanding.
TEST(TaskMemoryTest, LargeBlocksGivenBackServeLaterRequestsWhole) {
  const std::size_t before = korvane::com::OutstandingTaskMemoryBlocks();
  for (const std::size_t size : {std::size_t{2} << 20, std::size_t{3} << 20, std::size_t{1} << 20,
                                 std::size_t{2} << 20, std::size_t{8} << 20}) {
    korvane::com::TaskMemPtr<unsigned char> block(
        static_cast<unsigned char*>(CoTaskMemAlloc(size)));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(korvane::com::OutstandingTaskMemoryBlocks(), before + 1);
    std::memset(block.get(), 0xA5, size);
    EXPECT_EQ(block.get()[size - 1], 0xA5);
  }
  EXPECT_EQ(korvane::com::OutstandingTaskMemoryBlocks(), before);
}
