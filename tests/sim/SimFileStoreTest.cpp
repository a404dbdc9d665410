// File-backed simulated cameras: the device state lives in the file, shared with other
// processes, and a broken file is reported once and never written over.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "platform/com/CallBatch.h"
#include "platform/devices/DeviceProvider.h"
#include "platform/sim/SimJson.h"
#include "tests/sim/SimTestSupport.h"

namespace korvane::sim::testing {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Writes in place, as a plain editor or a shell redirection does (same file, new bytes).
void WriteInPlace(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
}

// Writes beside the file and renames it over, as careful programs do.
void WriteByRename(const fs::path& file, const std::string& text) {
  const fs::path temporary = file.string() + ".new";
  WriteInPlace(temporary, text);
  fs::rename(temporary, file);
}

// Runs work in a child process and gives its exit code; the child reports through that alone.
int InChildProcess(const std::function<int()>& work) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(work());
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

LONG Brightness(IAMVideoProcAmp* amp, LONG* flags = nullptr) {
  LONG value = 0, mode = 0;
  EXPECT_EQ(amp->Get(VideoProcAmp_Brightness, &value, &mode), S_OK);
  if (flags) *flags = mode;
  return value;
}

class SimFileStore : public LeakCheckedTest {
 protected:
  void SetUp() override {
    LeakCheckedTest::SetUp();
    std::string pattern = (fs::path(::testing::TempDir()) / "korvane-sim-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    file_ = dir_ / "cameras.json";
  }
  void TearDown() override {
    fs::remove_all(dir_);
    LeakCheckedTest::TearDown();
  }

  // The description of the file with brightness set to the given value.
  static SimDescription WithBrightness(LONG value) {
    SimDescription description{{SmallCamera("File camera"), SmallCamera("Second camera")}};
    description.devices[0].videoProcAmp[VideoProcAmp_Brightness].value = value;
    return description;
  }

  fs::path dir_, file_;
};

TEST_F(SimFileStore, WritesCrossProcessesBothWays) {
  WriteInPlace(file_, ToJson(WithBrightness(0)));
  ScopedSimCameras cameras(file_);
  const auto amp = Query<IAMVideoProcAmp>(VideoFilter().Get());
  ASSERT_TRUE(amp);
  ASSERT_EQ(amp->Set(VideoProcAmp_Brightness, 7, 2), S_OK);

  const int child = InChildProcess([this] {
    ScopedSimCameras own(file_);
    const auto childAmp = Query<IAMVideoProcAmp>(VideoFilter().Get());
    LONG value = 0, flags = 0;
    if (!childAmp || childAmp->Get(VideoProcAmp_Brightness, &value, &flags) != S_OK) return 2;
    if (value != 7) return 3;
    return childAmp->Set(VideoProcAmp_Brightness, -9, 1) == S_OK ? 0 : 4;
  });
  ASSERT_EQ(child, 0);
  LONG flags = 0;
  EXPECT_EQ(Brightness(amp.Get(), &flags), -9);
  EXPECT_EQ(flags, 1);
  // The file holds the whole description, the other camera untouched.
  EXPECT_EQ(ParseSimDescription(Slurp(file_)), [] {
    SimDescription expected = WithBrightness(-9);
    expected.devices[0].videoProcAmp[VideoProcAmp_Brightness].flags = 1;
    return expected;
  }());
}

TEST_F(SimFileStore, ChangesByOtherWritersShowAtTheNextCall) {
  WriteInPlace(file_, ToJson(WithBrightness(1)));
  ScopedSimCameras cameras(file_);
  const auto amp = Query<IAMVideoProcAmp>(VideoFilter().Get());
  ASSERT_TRUE(amp);
  // Same size, same file, quicker than the clock of file times: the content still counts.
  for (LONG value : {2, 3, 4, 5, 6, 7, 8, 9}) {
    WriteInPlace(file_, ToJson(WithBrightness(value)));
    ASSERT_EQ(Brightness(amp.Get()), value);
  }
  WriteByRename(file_, ToJson(WithBrightness(-1)));
  EXPECT_EQ(Brightness(amp.Get()), -1);

  SimDescription unplugged = WithBrightness(-1);
  unplugged.devices[0].absent = true;
  WriteByRename(file_, ToJson(unplugged));
  LONG value = 0, flags = 0;
  EXPECT_EQ(amp->Get(VideoProcAmp_Brightness, &value, &flags), HRESULT_ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(SimFileStore, ABatchOfCallsLooksAtTheFileAtItsFirstCall) {
  WriteInPlace(file_, ToJson(WithBrightness(1)));
  ScopedSimCameras cameras(file_);
  const auto amp = Query<IAMVideoProcAmp>(VideoFilter().Get());
  ASSERT_TRUE(amp);
  const auto elsewhere = MakeFileStore(file_);  // another program
  const auto setBrightness = [&elsewhere](LONG value) {
    ASSERT_TRUE(elsewhere->Modify([value](SimDescription& d) {
      d.devices[0].videoProcAmp[VideoProcAmp_Brightness].value = value;
    }));
  };
  ASSERT_EQ(Brightness(amp.Get()), 1);

  setBrightness(2);  // between two batches, as between two refresh ticks
  {
    const com::ScopedCallBatch batch;
    EXPECT_EQ(Brightness(amp.Get()), 2);
    setBrightness(3);
    EXPECT_EQ(Brightness(amp.Get()), 2);  // the batch answers from its first look
    LONG seenByAnotherThread = 0;
    std::thread([&] { seenByAnotherThread = Brightness(amp.Get()); }).join();
    EXPECT_EQ(seenByAnotherThread, 3);  // not part of this thread's batch
    ASSERT_EQ(amp->Set(VideoProcAmp_Brightness, 9, 2), S_OK);
    EXPECT_EQ(Brightness(amp.Get()), 9);  // its own write it reads back
    setBrightness(4);
  }
  {
    const com::ScopedCallBatch next;  // the next tick, no call between the two
    EXPECT_EQ(Brightness(amp.Get()), 4);
  }
  setBrightness(5);
  EXPECT_EQ(Brightness(amp.Get()), 5);  // outside a batch every call looks
  setBrightness(6);
  EXPECT_EQ(Brightness(amp.Get()), 6);
}

TEST_F(SimFileStore, ConcurrentWritersLoseNoChange) {
  WriteInPlace(file_, ToJson(WithBrightness(0)));
  constexpr int kWriters = 2, kIncrements = 40;
  std::vector<pid_t> children;
  for (int i = 0; i < kWriters; ++i) {
    const pid_t child = ::fork();
    if (child == 0) {
      const auto store = MakeFileStore(file_);
      for (int n = 0; n < kIncrements; ++n) {
        if (!store->Modify([](SimDescription& d) { ++d.devices[0].videoProcAmp[0].value; })) {
          ::_exit(1);
        }
      }
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(MakeFileStore(file_)->Read().devices[0].videoProcAmp.at(0).value,
            kWriters * kIncrements);
  // Only the file is left in the folder: no temporary file outlived its write.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(SimFileStore, MalformedFileIsReportedOnceAndNeverWrittenOver) {
  const std::string broken = "{\n  \"devices\": [\n    {\"friendlyName\": \"A\",}\n  ]\n}\n";
  WriteInPlace(file_, broken);
  ::testing::internal::CaptureStderr();
  {
    ScopedSimCameras cameras(file_);
    EXPECT_EQ(VideoFilter(), nullptr);
    EXPECT_TRUE(cameras.Store().Read().devices.empty());
    EXPECT_EQ(VideoFilter(), nullptr);
    EXPECT_FALSE(cameras.Store().Modify([](SimDescription& d) { d.devices.emplace_back(); }));
  }
  const std::string report = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
  EXPECT_NE(report.find(file_.string()), std::string::npos) << report;
  EXPECT_NE(report.find("line 3, column 26"), std::string::npos) << report;
  EXPECT_EQ(Slurp(file_), broken);
}

TEST_F(SimFileStore, RepairedFileBringsTheCamerasBack) {
  WriteInPlace(file_, "{\"devices\": [{\"category\": \"webcam\"}]}");
  ::testing::internal::CaptureStderr();
  ScopedSimCameras cameras(file_);
  EXPECT_EQ(VideoFilter(), nullptr);
  WriteByRename(file_, ToJson(WithBrightness(4)));
  const auto amp = Query<IAMVideoProcAmp>(VideoFilter().Get());
  ASSERT_TRUE(amp);
  EXPECT_EQ(Brightness(amp.Get()), 4);
  // Broken again in another way: reported again, once, and the camera is gone.
  WriteByRename(file_, "{\"devices\": [}");
  LONG value = 0, flags = 0;
  EXPECT_EQ(amp->Get(0, &value, &flags), HRESULT_ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(amp->Get(0, &value, &flags), HRESULT_ERROR_DEVICE_NOT_CONNECTED);
  const std::string report = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 2) << report;
}

TEST_F(SimFileStore, MissingFileMeansNoCameras) {
  ::testing::internal::CaptureStderr();
  ScopedSimCameras cameras(dir_ / "nowhere.json");
  EXPECT_EQ(VideoFilter(), nullptr);
  EXPECT_FALSE(cameras.Store().Modify([](SimDescription&) {}));
  const std::string report = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
  EXPECT_NE(report.find("nowhere.json"), std::string::npos) << report;
  EXPECT_FALSE(fs::exists(dir_ / "nowhere.json"));
}

TEST_F(SimFileStore, FileOverTheSizeCapIsReportedAsACameraFile) {
  WriteInPlace(file_, "");
  fs::resize_file(file_, 64 * 1024 * 1024 + 1);  // sparse: nothing is written
  ::testing::internal::CaptureStderr();
  ScopedSimCameras cameras(file_);
  EXPECT_EQ(VideoFilter(), nullptr);
  const std::string report = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find("is larger than a camera file can be"), std::string::npos) << report;
}

TEST_F(SimFileStore, WritesKeepTheModeAndLinksOfTheFile) {
  WriteInPlace(file_, ToJson(WithBrightness(0)));
  fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const fs::path link = dir_ / "link.json";
  fs::create_symlink(file_, link);
  ScopedSimCameras cameras(link);
  ASSERT_EQ(Query<IAMVideoProcAmp>(VideoFilter().Get())->Set(0, 5, 2), S_OK);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::status(file_).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(ParseSimDescription(Slurp(file_)), WithBrightness(5));
}

TEST_F(SimFileStore, EnvironmentChoosesTheCameras) {
  const std::string broken = "{\"devices\": 3}";
  WriteInPlace(file_, ToJson(WithBrightness(0)));
  WriteInPlace(dir_ / "broken.json", broken);
  const struct {
    const char* setting;
    bool usable;
    std::vector<std::string> firstCamera;  // empty: no camera
    int reportLines;
  } cases[] = {
      {nullptr, true, {}, 0},
      {"", true, {}, 0},
      {"demo", true, {"Korvane Lumen Studio 1080"}, 0},
      {"FILE", true, {"File camera"}, 0},
      {"BROKEN", false, {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting ? c.setting : "(unset)");
    const std::string value = !c.setting                           ? ""
                              : std::string(c.setting) == "FILE"   ? file_.string()
                              : std::string(c.setting) == "BROKEN" ? (dir_ / "broken.json").string()
                                                                   : c.setting;
    if (c.setting) {
      ::setenv("KORVANE_CAMERAS", value.c_str(), 1);
    } else {
      ::unsetenv("KORVANE_CAMERAS");
    }
    devices::ScopedDeviceProviders none({});
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(InstallCamerasFromEnvironment(), c.usable);
    std::vector<std::string> names;
    if (const ComPtr<IBaseFilter> filter = VideoFilter()) {
      FILTER_INFO info{};
      filter->QueryFilterInfo(&info);
      names.push_back(com::Utf16ToUtf8(info.achName));
    }
    EXPECT_EQ(names, c.firstCamera);
    const std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), c.reportLines) << report;
  }
  ::unsetenv("KORVANE_CAMERAS");
  EXPECT_EQ(Slurp(dir_ / "broken.json"), broken);
}

}  // namespace
}  // namespace korvane::sim::testing
