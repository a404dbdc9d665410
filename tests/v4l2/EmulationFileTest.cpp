// The camera file: the documented example, the device state written back and shared with
// other programs, and files that are broken or hostile.

#include <stdlib.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "tests/v4l2/EmulationTestSupport.h"

namespace korvane::v4l2::emulation::testing {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

class EmulationFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "korvane-v4l2-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    file_ = dir_ / "cameras.json";
    fs::copy_file(ExampleFile(), file_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::shared_ptr<EmulatedKernel> FromFile() {
    std::string error;
    auto kernel = EmulatedKernel::FromFile(file_, &error);
    EXPECT_TRUE(kernel) << error;
    return kernel;
  }
  Json Document() const { return Json::parse(ReadText(file_)); }
  // As a careful program writes: beside the file, then renamed over it.
  void Replace(const std::string& text) const {
    const fs::path temporary = dir_ / "next.json";
    std::ofstream(temporary, std::ios::binary) << text;
    fs::rename(temporary, file_);
  }

  fs::path dir_, file_;
};

TEST_F(EmulationFile, ExampleDescribesTwoCamerasAsTheyCome) {
  auto kernel = FromFile();
  ASSERT_TRUE(kernel);
  EXPECT_EQ(kernel->NodePath("studio"), "/dev/video0");
  EXPECT_EQ(kernel->NodePath("desk"), "/dev/video2");
  EXPECT_EQ(kernel->ControlValue("desk", V4L2_CID_POWER_LINE_FREQUENCY), 2);
  Caller caller(kernel);
  const int fd = caller.Open("/dev/video2");
  v4l2_format format{};
  format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_G_FMT, &format), 0);
  EXPECT_EQ(format.fmt.pix.width, 640u) << "without \"current\" the first format is current";
  EXPECT_EQ(format.fmt.pix.pixelformat, std::uint32_t{V4L2_PIX_FMT_YUYV});
}

TEST_F(EmulationFile, DeviceStateIsWrittenBackAndSharedWithAnotherProgram) {
  auto first = FromFile();
  auto second = FromFile();
  Caller one(first), two(second);
  const int fd = one.Open("/dev/video0");
  std::int32_t value = 300;
  ASSERT_EQ(one.SetControl(fd, V4L2_CID_BRIGHTNESS, &value), 0);
  Json document = Document();
  EXPECT_EQ(document["cameras"][0]["controls"][0]["value"], 255) << "the stored value";
  EXPECT_EQ(document["cameras"][0]["controls"][1]["value"], 128) << "the rest as it was";

  v4l2_format format{};
  format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  format.fmt.pix = Pix(1280, 720, V4L2_PIX_FMT_MJPEG);
  ASSERT_EQ(one.Ioctl(fd, VIDIOC_S_FMT, &format), 0);
  EXPECT_EQ(Document()["cameras"][0]["current"],
            Json::parse(R"({"fourcc":"MJPG","width":1280,"height":720,"interval":"1/30"})"));

  // The other program sees both and adds its own change; neither is lost.
  const int otherFd = two.Open("/dev/video0");
  ASSERT_EQ(two.GetControl(otherFd, V4L2_CID_BRIGHTNESS, &value), 0);
  EXPECT_EQ(value, 255);
  ASSERT_EQ(two.Ioctl(otherFd, VIDIOC_G_FMT, &format), 0);
  EXPECT_EQ(format.fmt.pix.width, 1280u);
  ASSERT_EQ(two.SetControl(otherFd, V4L2_CID_CONTRAST, 10), 0);
  ASSERT_EQ(one.SetControl(fd, V4L2_CID_SATURATION, 20), 0);
  EXPECT_EQ(first->ControlValue("studio", V4L2_CID_CONTRAST), 10);
  document = Document();
  EXPECT_EQ(document["cameras"][0]["controls"][0]["value"], 255);
  EXPECT_EQ(document["cameras"][0]["controls"][1]["value"], 10);
  EXPECT_EQ(document["cameras"][0]["controls"][2]["value"], 20);

  first->Unplug("desk");
  EXPECT_EQ(Document()["cameras"][1]["present"], false);
  EXPECT_EQ(second->NodePath("desk"), "");
}

TEST_F(EmulationFile, ChangesOfAnotherProgramArePickedUpAtTheNextCall) {
  auto kernel = FromFile();
  Caller caller(kernel);
  const int fd = caller.Open("/dev/video0");
  ASSERT_EQ(caller.Subscribe(fd, V4L2_CID_BRIGHTNESS), 0);
  Json document = Document();
  document["cameras"][0]["controls"][0]["value"] = 50;
  Replace(document.dump(2));
  std::int32_t value = 0;
  ASSERT_EQ(caller.GetControl(fd, V4L2_CID_BRIGHTNESS, &value), 0);
  EXPECT_EQ(value, 50);
  v4l2_event event{};
  ASSERT_EQ(caller.DequeueEvent(fd, &event), 0) << "subscribers hear of it";
  EXPECT_EQ(event.u.ctrl.value, 50);

  // Written in place, as an editor or a shell redirection does, with the same length.
  document["cameras"][0]["controls"][0]["value"] = 60;
  std::ofstream(file_, std::ios::binary | std::ios::trunc) << document.dump(2);
  ASSERT_EQ(caller.GetControl(fd, V4L2_CID_BRIGHTNESS, &value), 0);
  EXPECT_EQ(value, 60);

  document["cameras"][0]["present"] = false;
  Replace(document.dump(2));
  v4l2_capability capability{};
  EXPECT_EQ(caller.Ioctl(fd, VIDIOC_QUERYCAP, &capability), ENODEV);
  document["cameras"][0]["present"] = true;
  Replace(document.dump(2));
  EXPECT_EQ(kernel->NodePath("studio"), "/dev/video4") << "back under a new number";
}

TEST_F(EmulationFile, BrokenFileLeavesNoCamerasUntilRepairedAndIsToldOnce) {
  auto kernel = FromFile();
  Caller caller(kernel);
  const std::string good = ReadText(file_);
  ::testing::internal::CaptureStderr();
  Replace("{\n  \"cameras\": [\n    {\"id\": }\n  ]\n}\n");
  std::vector<std::string> nodes;
  EXPECT_EQ(caller.door().ListDirectory("/sys/class/video4linux", &nodes), 0);
  EXPECT_TRUE(nodes.empty());
  EXPECT_EQ(caller.Open("/dev/video0"), -ENOENT);
  const std::string told = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
  EXPECT_NE(told.find(file_.string()), std::string::npos) << told;
  EXPECT_NE(told.find("line 3, column 12"), std::string::npos) << told;
  EXPECT_EQ(ReadText(file_).substr(0, 5), "{\n  \"") << "a broken file is never written over";

  Replace(good);
  EXPECT_EQ(caller.door().ListDirectory("/sys/class/video4linux", &nodes), 0);
  EXPECT_EQ(nodes.size(), 4u);
}

TEST_F(EmulationFile, EnvironmentChoosesTheKernel) {
  const char* before = std::getenv("KORVANE_V4L2_EMULATION");
  const std::string saved = before ? before : "";
  ::unsetenv("KORVANE_V4L2_EMULATION");
  EXPECT_EQ(KernelFromEnvironment(), nullptr) << "unset: the machine's own kernel";

  std::ofstream(file_, std::ios::binary | std::ios::trunc) << "{\"cameras\": 7}";
  ::setenv("KORVANE_V4L2_EMULATION", file_.c_str(), 1);
  ::testing::internal::CaptureStderr();
  const std::shared_ptr<Kernel> kernel = KernelFromEnvironment();
  const std::string told = ::testing::internal::GetCapturedStderr();
  ASSERT_NE(kernel, nullptr) << "a bad file still gives an emulated kernel";
  std::vector<std::string> nodes;
  EXPECT_EQ(kernel->ListDirectory("/sys/class/video4linux", &nodes), 0);
  EXPECT_TRUE(nodes.empty());
  EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
  EXPECT_NE(told.find("line 1, column 13: expected a list"), std::string::npos) << told;
  if (before) {
    ::setenv("KORVANE_V4L2_EMULATION", saved.c_str(), 1);
  } else {
    ::unsetenv("KORVANE_V4L2_EMULATION");
  }

  std::string error;
  EXPECT_EQ(EmulatedKernel::FromFile(dir_ / "none.json", &error), nullptr);
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

TEST(EmulationFileText, FaultsAreRefusedWithTheirPlace) {
  const std::string body = R"("id":"c","usb":{"vendor":"1234","product":"5678"},)"
                           R"("formats":[{"fourcc":"YUYV","sizes":[{"width":640,"height":480,)"
                           R"("intervals":["1/30"]}]}])";
  const auto camera = [&](const std::string& fields) {
    return "{\"cameras\":[\n{" + body + fields + "}]}";
  };
  const std::string misspelt = camera(",\"frienldyName\":\"x\"");
  const std::size_t misspeltColumn = misspelt.find("\"x\"") - misspelt.find('\n');
  struct Case {
    std::string text;
    std::string fault;
  };
  const Case cases[] = {
      {"{\"cameras\":[", "line 1, column 13: syntax error"},
      {misspelt,
       "line 2, column " + std::to_string(misspeltColumn) + ": unknown field \"frienldyName\""},
      {camera(",\"controls\":[{\"name\":\"brightnes\",\"min\":0,\"max\":1}]"),
       "unknown control \"brightnes\""},
      {camera(",\"controls\":[{\"name\":\"contrast\",\"min\":5,\"max\":1}]"),
       "\"min\" is larger than \"max\""},
      {camera(",\"current\":{\"fourcc\":\"YUYV\",\"width\":800,\"height\":600,"
              "\"interval\":\"1/30\"}"),
       "the camera does not offer this format"},
      {camera(",\"firmware\":{\"faults\":[{\"control\":\"gain\",\"call\":\"get\","
              "\"errno\":\"EIO\"}]}"),
       "the camera has no such control"},
      {"{\"cameras\":[{" + body + "},{" + body + "}]}", "another camera has this id"},
      {std::string(100, '[') + std::string(100, ']'), "line 1, column 65: nested deeper than 64"},
      {std::string(4 * 1024 * 1024 + 1, ' '), "larger than 4 MB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 200));
    std::string error;
    EXPECT_EQ(EmulatedKernel::FromJson(c.text, &error), nullptr);
    EXPECT_NE(error.find(c.fault), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
  }
}

}  // namespace
}  // namespace korvane::v4l2::emulation::testing
