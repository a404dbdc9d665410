// The component's utilities: result codes to errors, the not-found test, media type release.

#include <gtest/gtest.h>

#include <cstring>

#include "camera/FCameraChecks.h"
#include "camera/FDirectShow9.h"

namespace {

struct CheckResultCase {
  HRESULT code;
  const char* message;  // nullptr: nothing raised
};

TEST(CheckResultTest, SuccessPassesAndFailuresCarryTheirCodeAndText) {
  const CheckResultCase cases[] = {
      {S_OK, nullptr},
      {S_FALSE, nullptr},
      {VFW_S_STATE_INTERMEDIATE, nullptr},  // a success code with a media text
      // The media framework's text wins where it has one.
      {VFW_E_NOT_CONNECTED, "The operation needs a connected pin"},
      // Otherwise the system's text...
      {E_FAIL, "The operation failed for an unspecified reason"},
      {HRESULT_ERROR_NOT_FOUND, "The element was not found"},
      // ...and its fallback for a code nobody knows.
      {MakeHResult(0x80041234), "OLE error 80041234"},
  };
  for (const CheckResultCase& c : cases) {
    SCOPED_TRACE(c.code);
    if (!c.message) {
      EXPECT_NO_THROW(CheckResult(c.code));
      continue;
    }
    try {
      CheckResult(c.code);
      ADD_FAILURE() << "nothing raised";
    } catch (const EOleSysError& error) {
      EXPECT_STREQ(error.what(), c.message);
      EXPECT_EQ(error.ErrorCode(), c.code);
    }
  }
}

TEST(CheckResultTest, SystemResultNeverAsksForTheMediaText) {
  try {
    CheckSystemResult(VFW_E_NOT_CONNECTED);
    ADD_FAILURE() << "nothing raised";
  } catch (const EOleSysError& error) {
    EXPECT_STREQ(error.what(), "OLE error 80040209");
    EXPECT_EQ(error.ErrorCode(), VFW_E_NOT_CONNECTED);
  }
  EXPECT_NO_THROW(CheckSystemResult(S_FALSE));
}

TEST(IsNotFoundResultTest, TrueExactlyForTheTwoNotFoundCodes) {
  EXPECT_TRUE(IsNotFoundResult(MakeHResult(0x80070490)));
  EXPECT_TRUE(IsNotFoundResult(MakeHResult(0x80070492)));
  for (HRESULT other : {S_OK, S_FALSE, E_FAIL, E_NOINTERFACE, MakeHResult(0x80070491),
                        MakeHResult(0x8007048F), MakeHResult(0x00070490), VFW_E_NOT_FOUND})
    EXPECT_FALSE(IsNotFoundResult(other)) << other;
}

TEST(CheckInterfaceTest, NilRaisesWithTheInterfaceName) {
  ComPtr<IPin> none;
  try {
    CheckInterface(none, "Capture IPin");
    ADD_FAILURE() << "nothing raised";
  } catch (const EFCameraError& error) {
    EXPECT_STREQ(error.what(), "Cannot retrieve 'Capture IPin' interface");
  }
  int something = 0;
  EXPECT_NO_THROW(CheckInterface(&something, "x"));
  EXPECT_NO_THROW(CheckCondition(true, "x"));
  EXPECT_THROW(CheckCondition(false, "x"), EFCameraError);
}

struct Token : korvane::com::ComObject<IUnknown> {};

TEST(MediaTypeReleaseTest, FreesTheBlockTheReferenceAndTheRecord) {
  const std::size_t blocks = korvane::com::OutstandingTaskMemoryBlocks();
  const std::size_t objects = korvane::com::LiveObjectCount();
  {
    ComPtr<Token> token = korvane::com::MakeCom<Token>();
    BYTE block[88] = {};
    AM_MEDIA_TYPE source{};
    source.formattype = FORMAT_VideoInfo;
    source.cbFormat = sizeof block;
    source.pbFormat = block;
    source.pUnk = token.Get();
    AM_MEDIA_TYPE* copy = korvane::com::CreateMediaType(source);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(korvane::com::OutstandingTaskMemoryBlocks(), blocks + 2);

    AM_MEDIA_TYPE record{};
    ASSERT_EQ(korvane::com::CopyMediaType(&record, source), S_OK);
    FreeMediaType(record);
    EXPECT_EQ(record.cbFormat, 0u);
    EXPECT_EQ(record.pbFormat, nullptr);
    EXPECT_EQ(record.pUnk, nullptr);
    FreeMediaType(record);  // a second time finds nothing to free

    DeleteMediaType(copy);
    DeleteMediaType(nullptr);
  }
  EXPECT_EQ(korvane::com::OutstandingTaskMemoryBlocks(), blocks);
  EXPECT_EQ(korvane::com::LiveObjectCount(), objects);
}

TEST(MediaTypeReleaseTest, ABlockWithoutASizeIsFreedToo) {
  const std::size_t blocks = korvane::com::OutstandingTaskMemoryBlocks();
  AM_MEDIA_TYPE record{};
  record.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(16));
  FreeMediaType(record);
  EXPECT_EQ(record.pbFormat, nullptr);
  EXPECT_EQ(korvane::com::OutstandingTaskMemoryBlocks(), blocks);
}

}  // namespace
