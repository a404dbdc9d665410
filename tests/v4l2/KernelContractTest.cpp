// The rules every Video4Linux2 node keeps, checked in the manner of the kernel's compliance
// tool: against every node of the emulated example cameras and of a camera with the rarer
// shapes (read-only and button controls, stepwise sizes and intervals), and against the
// machine's own /dev/video nodes where it has any. On a real node only reading calls are made.

#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>

#include "tests/v4l2/EmulationTestSupport.h"

namespace korvane::v4l2::emulation::testing {
namespace {

struct Subject {
  std::string name;
  std::function<std::shared_ptr<Kernel>()> kernel;
  std::string path;  // empty: nothing to test on this machine
  bool real = false;
};

// Test listings name a subject, not its bytes.
void PrintTo(const Subject& subject, std::ostream* out) {
  *out << subject.name;
}

const char kShapes[] = R"({"cameras":[{"id":"shapes","node":0,"card":"Shapes",
  "usb":{"vendor":"1234","product":"0001"},
  "controls":[
    {"name":"privacy","readOnly":true,"default":0},
    {"id":"0x0a046d01","type":"button","name":"Reset Pan/Tilt"},
    {"id":"0x0a046d02","type":"int","name":"Sensor Temperature","min":-40,"max":120,
     "default":20,"readOnly":true},
    {"name":"brightness","min":-10,"max":10,"step":5,"default":0},
    {"name":"power_line_frequency","menu":[0,1,2,3],"default":3}],
  "formats":[
    {"fourcc":"NV12","sizeRange":{"minWidth":160,"maxWidth":1920,"stepWidth":16,
      "minHeight":120,"maxHeight":1080,"stepHeight":8,
      "intervalRange":{"min":"1/60","max":"1/1","step":"1/60"}}},
    {"fourcc":"GREY","sizeRange":{"minWidth":1,"maxWidth":640,"stepWidth":1,"minHeight":1,
      "maxHeight":480,"stepHeight":1,"intervals":["1/30","1/10"]}}]}]})";

std::vector<Subject> EmulatedSubjects() {
  std::vector<Subject> subjects;
  const auto example = [] {
    std::string error;
    auto kernel = EmulatedKernel::FromJson(ReadText(ExampleFile()), &error);
    EXPECT_TRUE(kernel) << error;
    return std::shared_ptr<Kernel>(kernel);
  };
  for (int node = 0; node < 4; ++node) {
    const std::string name = "video" + std::to_string(node);
    subjects.push_back({"Example_" + name, example, "/dev/" + name});
  }
  const auto shapes = [] { return std::shared_ptr<Kernel>(KernelOf(kShapes)); };
  subjects.push_back({"Shapes_video0", shapes, "/dev/video0"});
  subjects.push_back({"Shapes_video1", shapes, "/dev/video1"});
  return subjects;
}

std::vector<Subject> MachineSubjects() {
  std::vector<Subject> subjects;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("video") && name.size() > 5) {
      subjects.push_back(
          {"Machine_" + name, [] { return MakeLibcKernel(); }, entry.path().string(), true});
    }
  }
  if (subjects.empty()) subjects.push_back({"Machine_none", nullptr, "", true});
  return subjects;
}

class KernelContract : public ::testing::TestWithParam<Subject> {
 protected:
  void SetUp() override {
    if (GetParam().path.empty()) GTEST_SKIP() << "this machine has no /dev/video node";
    caller_.emplace(GetParam().kernel());
    fd_ = caller_->Open(GetParam().path);
    if (fd_ < 0) GTEST_SKIP() << "cannot open " << GetParam().path << ": " << std::strerror(-fd_);
    ASSERT_EQ(caller_->Ioctl(fd_, VIDIOC_QUERYCAP, &capability_), 0);
  }
  void TearDown() override {
    if (caller_ && fd_ >= 0) caller_->Close(fd_);
  }

  std::uint32_t DeviceCaps() const {
    return capability_.capabilities & V4L2_CAP_DEVICE_CAPS ? capability_.device_caps
                                                           : capability_.capabilities;
  }
  bool Capture() const { return (DeviceCaps() & V4L2_CAP_VIDEO_CAPTURE) != 0; }
  // Whether the node answers control calls at all (a metadata node does not).
  bool AnswersControls() {
    v4l2_queryctrl query{};
    return caller_->QueryControl(fd_, V4L2_CTRL_FLAG_NEXT_CTRL, &query) != ENOTTY;
  }
  bool Real() const { return GetParam().real; }

  // The walk of the controls, class controls left out.
  std::vector<v4l2_queryctrl> Controls() {
    std::vector<v4l2_queryctrl> controls;
    std::uint32_t id = V4L2_CTRL_FLAG_NEXT_CTRL;
    for (int guard = 0; guard < 1024; ++guard) {
      v4l2_queryctrl query{};
      const int error = caller_->QueryControl(fd_, id, &query);
      if (error != 0) {
        EXPECT_TRUE(error == EINVAL || (error == ENOTTY && controls.empty()))
            << std::strerror(error);
        return controls;
      }
      EXPECT_GT(query.id, id & V4L2_CTRL_ID_MASK) << "the walk went backwards";
      id = query.id | V4L2_CTRL_FLAG_NEXT_CTRL;
      if (query.type != V4L2_CTRL_TYPE_CTRL_CLASS) controls.push_back(query);
    }
    ADD_FAILURE() << "the walk of the controls does not end";
    return controls;
  }

  std::optional<Caller> caller_;
  int fd_ = -1;
  v4l2_capability capability_{};
};

TEST_P(KernelContract, CapabilitiesAreSane) {
  EXPECT_NE(capability_.driver[0], 0);
  EXPECT_NE(capability_.card[0], 0);
  EXPECT_EQ(capability_.driver[sizeof(capability_.driver) - 1], 0);
  EXPECT_EQ(capability_.card[sizeof(capability_.card) - 1], 0);
  EXPECT_EQ(capability_.bus_info[sizeof(capability_.bus_info) - 1], 0);
  ASSERT_TRUE(capability_.capabilities & V4L2_CAP_DEVICE_CAPS);
  EXPECT_NE(capability_.device_caps, 0u);
  EXPECT_EQ(capability_.device_caps & ~capability_.capabilities, 0u)
      << "a node can do only what its device can";
  EXPECT_FALSE(capability_.device_caps & V4L2_CAP_DEVICE_CAPS);
}

TEST_P(KernelContract, ControlRangesAreSane) {
  std::set<std::uint32_t> seen;
  for (const v4l2_queryctrl& control : Controls()) {
    SCOPED_TRACE(reinterpret_cast<const char*>(control.name));
    EXPECT_TRUE(seen.insert(control.id).second);
    EXPECT_EQ(control.name[sizeof(control.name) - 1], 0);
    switch (control.type) {
      case V4L2_CTRL_TYPE_INTEGER:
        EXPECT_NE(control.step, 0);
        [[fallthrough]];
      case V4L2_CTRL_TYPE_BOOLEAN:
      case V4L2_CTRL_TYPE_MENU:
        EXPECT_LE(control.minimum, control.default_value);
        EXPECT_LE(control.default_value, control.maximum);
        break;
      default:
        break;
    }
    if (control.type == V4L2_CTRL_TYPE_BOOLEAN) {
      EXPECT_EQ(control.minimum, 0);
      EXPECT_EQ(control.maximum, 1);
    }
    // The extended query tells the same.
    v4l2_query_ext_ctrl extended{};
    extended.id = control.id;
    ASSERT_EQ(caller_->Ioctl(fd_, VIDIOC_QUERY_EXT_CTRL, &extended), 0);
    EXPECT_EQ(extended.type, control.type);
    EXPECT_EQ(extended.minimum, control.minimum);
    EXPECT_EQ(extended.maximum, control.maximum);
    EXPECT_EQ(extended.default_value, control.default_value);
    EXPECT_EQ(extended.flags, control.flags);
  }
}

TEST_P(KernelContract, MenuItemsExistOrAnswerEinval) {
  for (const v4l2_queryctrl& control : Controls()) {
    if (control.type != V4L2_CTRL_TYPE_MENU) continue;
    SCOPED_TRACE(reinterpret_cast<const char*>(control.name));
    int items = 0;
    for (std::int32_t index = control.minimum; index <= control.maximum + 1; ++index) {
      v4l2_querymenu item{};
      item.id = control.id;
      item.index = static_cast<std::uint32_t>(index);
      const int error = caller_->Ioctl(fd_, VIDIOC_QUERYMENU, &item);
      if (error == 0) {
        EXPECT_LE(index, control.maximum);
        EXPECT_NE(item.name[0], 0);
        ++items;
        continue;
      }
      EXPECT_EQ(error, EINVAL) << "item " << index;
      // Writing a hole is refused the same way, inside the range (emulated only: no writes
      // on a real camera).
      if (!Real() && index <= control.maximum && !(control.flags & V4L2_CTRL_FLAG_READ_ONLY)) {
        EXPECT_EQ(caller_->SetControl(fd_, control.id, index), EINVAL) << "item " << index;
      }
    }
    EXPECT_GT(items, 0);
    v4l2_querymenu defaultItem{};
    defaultItem.id = control.id;
    defaultItem.index = static_cast<std::uint32_t>(control.default_value);
    EXPECT_EQ(caller_->Ioctl(fd_, VIDIOC_QUERYMENU, &defaultItem), 0) << "the default is a hole";
  }
}

TEST_P(KernelContract, UnknownControlAndUnknownIoctl) {
  constexpr std::uint32_t kNobody = V4L2_CID_USER_BASE + 0x0ff0;
  v4l2_queryctrl query{};
  std::int32_t value = 0;
  const int noControls = AnswersControls() ? EINVAL : ENOTTY;
  EXPECT_EQ(caller_->QueryControl(fd_, kNobody, &query), noControls);
  EXPECT_EQ(caller_->GetControl(fd_, kNobody, &value), noControls);
  EXPECT_EQ(caller_->SetControl(fd_, kNobody, 0), noControls);
  v4l2_tuner tuner{};
  EXPECT_EQ(caller_->Ioctl(fd_, VIDIOC_G_TUNER, &tuner), ENOTTY);
}

TEST_P(KernelContract, ReadOnlyControlsRefuseWrites) {
  for (const v4l2_queryctrl& control : Controls()) {
    if (!(control.flags & V4L2_CTRL_FLAG_READ_ONLY)) continue;
    SCOPED_TRACE(reinterpret_cast<const char*>(control.name));
    std::int32_t value = control.default_value;
    if (!(control.flags & V4L2_CTRL_FLAG_WRITE_ONLY)) {
      ASSERT_EQ(caller_->GetControl(fd_, control.id, &value), 0);
    }
    EXPECT_EQ(caller_->SetControl(fd_, control.id, value), EACCES);
  }
}

// Emulated only: a real camera is not written to.
TEST_P(KernelContract, WritesOutsideTheRangeLandInside) {
  if (Real()) GTEST_SKIP() << "no writes on a real camera";
  for (const v4l2_queryctrl& control : Controls()) {
    if (control.type != V4L2_CTRL_TYPE_INTEGER ||
        (control.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_INACTIVE))) {
      continue;
    }
    SCOPED_TRACE(reinterpret_cast<const char*>(control.name));
    for (const std::int32_t outside : {control.minimum - 1, control.maximum + 1}) {
      std::int32_t value = outside;
      ASSERT_EQ(caller_->SetControl(fd_, control.id, &value), 0);
      EXPECT_GE(value, control.minimum);
      EXPECT_LE(value, control.maximum);
    }
  }
}

TEST_P(KernelContract, EnumerationsEndWithEinval) {
  if (!Capture() && !(DeviceCaps() & V4L2_CAP_META_CAPTURE)) {
    GTEST_SKIP() << "neither a capture nor a metadata node";
  }
  const std::uint32_t type = Capture() ? V4L2_BUF_TYPE_VIDEO_CAPTURE : V4L2_BUF_TYPE_META_CAPTURE;
  std::uint32_t formats = 0;
  for (;; ++formats) {
    v4l2_fmtdesc format{};
    format.index = formats;
    format.type = type;
    const int error = caller_->Ioctl(fd_, VIDIOC_ENUM_FMT, &format);
    if (error != 0) {
      EXPECT_EQ(error, EINVAL);
      break;
    }
    ASSERT_LT(formats, 256u);
    if (!Capture()) continue;
    SCOPED_TRACE(format.pixelformat);
    std::uint32_t sizes = 0;
    for (;; ++sizes) {
      v4l2_frmsizeenum size{};
      size.index = sizes;
      size.pixel_format = format.pixelformat;
      const int sizeError = caller_->Ioctl(fd_, VIDIOC_ENUM_FRAMESIZES, &size);
      if (sizeError != 0) {
        EXPECT_EQ(sizeError, EINVAL);
        break;
      }
      ASSERT_LT(sizes, 1024u);
      const bool discrete = size.type == V4L2_FRMSIZE_TYPE_DISCRETE;
      if (!discrete) {
        EXPECT_EQ(sizes, 0u) << "a range of sizes answers index 0 only";
      }
      v4l2_frmivalenum interval{};
      interval.pixel_format = format.pixelformat;
      interval.width = discrete ? size.discrete.width : size.stepwise.min_width;
      interval.height = discrete ? size.discrete.height : size.stepwise.min_height;
      for (;; ++interval.index) {
        const int intervalError = caller_->Ioctl(fd_, VIDIOC_ENUM_FRAMEINTERVALS, &interval);
        if (intervalError != 0) {
          EXPECT_EQ(intervalError, EINVAL);
          break;
        }
        ASSERT_LT(interval.index, 1024u);
        if (interval.type != V4L2_FRMIVAL_TYPE_DISCRETE) {
          EXPECT_EQ(interval.index, 0u);
        }
      }
      EXPECT_GT(interval.index, 0u) << "a size without intervals";
    }
    EXPECT_GT(sizes, 0u);
    v4l2_frmivalenum none{};
    none.pixel_format = format.pixelformat;
    EXPECT_EQ(caller_->Ioctl(fd_, VIDIOC_ENUM_FRAMEINTERVALS, &none), EINVAL)
        << "intervals of a size that is not offered";
  }
  EXPECT_GT(formats, 0u);
}

std::string SubjectName(const ::testing::TestParamInfo<Subject>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Emulated, KernelContract, ::testing::ValuesIn(EmulatedSubjects()),
                         SubjectName);
INSTANTIATE_TEST_SUITE_P(Machine, KernelContract, ::testing::ValuesIn(MachineSubjects()),
                         SubjectName);

}  // namespace
}  // namespace korvane::v4l2::emulation::testing
