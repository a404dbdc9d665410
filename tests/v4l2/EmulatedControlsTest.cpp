// The UVC driver's control behaviour the provider relies on: values clamped and rounded and
// written back, menus with holes, inactive controls under their automatic companion, requests
// committed in the driver's order, events, the cache and the camera's own faults.

#include <cstring>
#include <thread>

#include "tests/v4l2/EmulationTestSupport.h"

namespace korvane::v4l2::emulation::testing {
namespace {

class EmulatedControls : public ::testing::Test {
 protected:
  // The example cameras: "studio" at /dev/video0, "desk" at /dev/video2.
  void SetUp() override {
    kernel_ = KernelOf(ReadText(ExampleFile()));
    ASSERT_TRUE(kernel_);
    caller_.emplace(kernel_);
    fd_ = caller_->Open("/dev/video0");
    ASSERT_GE(fd_, 0);
  }

  std::shared_ptr<EmulatedKernel> kernel_;
  std::optional<Caller> caller_;
  int fd_ = -1;
};

TEST_F(EmulatedControls, WritesAreClampedAndRoundedAndWrittenBack) {
  struct Case {
    std::uint32_t id;
    std::int32_t written, stored;
  };
  const Case cases[] = {
      {V4L2_CID_BRIGHTNESS, 300, 255},         {V4L2_CID_BRIGHTNESS, -5, 0},
      {V4L2_CID_PAN_ABSOLUTE, 5000, 3600},     {V4L2_CID_PAN_ABSOLUTE, 1801, 3600},
      {V4L2_CID_PAN_ABSOLUTE, -99999, -36000}, {V4L2_CID_GAMMA, 71, 72},
      {V4L2_CID_EXPOSURE_AUTO_PRIORITY, 5, 1}, {V4L2_CID_EXPOSURE_AUTO_PRIORITY, -3, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.id) + " <- " + std::to_string(c.written));
    std::int32_t value = c.written;
    ASSERT_EQ(caller_->SetControl(fd_, c.id, &value), 0);
    EXPECT_EQ(value, c.stored) << "the caller's struct holds the stored value";
    std::int32_t read = 0;
    EXPECT_EQ(caller_->GetControl(fd_, c.id, &read), 0);
    EXPECT_EQ(read, c.stored);
    EXPECT_EQ(kernel_->ControlValue("studio", c.id), c.stored);
  }
}

TEST_F(EmulatedControls, MenusRefuseItemsOutsideTheRangeAndHoles) {
  // The exposure menu spans all four modes; this camera offers manual and aperture priority.
  v4l2_queryctrl query{};
  ASSERT_EQ(caller_->QueryControl(fd_, V4L2_CID_EXPOSURE_AUTO, &query), 0);
  EXPECT_EQ(query.minimum, 0);
  EXPECT_EQ(query.maximum, 3);
  const int desk = caller_->Open("/dev/video2");
  ASSERT_GE(desk, 0);
  ASSERT_EQ(caller_->QueryControl(desk, V4L2_CID_POWER_LINE_FREQUENCY, &query), 0);
  EXPECT_EQ(query.minimum, 1) << "a limited power line menu offers 50 and 60 Hz only";
  EXPECT_EQ(query.maximum, 2);

  struct Case {
    int fd;
    std::uint32_t id;
    std::int32_t item;
    int error;
  };
  const Case cases[] = {
      {fd_, V4L2_CID_EXPOSURE_AUTO, 0, EINVAL},
      {fd_, V4L2_CID_EXPOSURE_AUTO, 2, EINVAL},
      {fd_, V4L2_CID_EXPOSURE_AUTO, 4, ERANGE},
      {fd_, V4L2_CID_EXPOSURE_AUTO, -1, ERANGE},
      {fd_, V4L2_CID_EXPOSURE_AUTO, 1, 0},
      {desk, V4L2_CID_POWER_LINE_FREQUENCY, 0, ERANGE},
      {desk, V4L2_CID_POWER_LINE_FREQUENCY, 3, ERANGE},
      {desk, V4L2_CID_POWER_LINE_FREQUENCY, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.id) + " <- " + std::to_string(c.item));
    EXPECT_EQ(caller_->SetControl(c.fd, c.id, c.item), c.error);
  }
  EXPECT_EQ(kernel_->ControlValue("studio", V4L2_CID_EXPOSURE_AUTO), 1);
  v4l2_querymenu item{};
  item.id = V4L2_CID_EXPOSURE_AUTO;
  item.index = 2;
  EXPECT_EQ(caller_->Ioctl(fd_, VIDIOC_QUERYMENU, &item), EINVAL);
  item.index = 3;
  ASSERT_EQ(caller_->Ioctl(fd_, VIDIOC_QUERYMENU, &item), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(item.name), "Aperture Priority Mode");
}

TEST_F(EmulatedControls, AccessRulesOfReadOnlyWriteOnlyAndUnknownControls) {
  auto kernel = KernelOf(Cameras(Camera(R"(
    {"name":"privacy","readOnly":true,"default":1},
    {"id":"0x0a046d01","type":"button","name":"Reset Pan/Tilt"},
    {"id":"0x0a046d02","type":"int","name":"Secret","min":0,"max":9,"writeOnly":true})")));
  Caller caller(kernel);
  const int fd = caller.Open("/dev/video0");
  ASSERT_GE(fd, 0);
  std::int32_t value = 0;
  EXPECT_EQ(caller.SetControl(fd, V4L2_CID_PRIVACY, 0), EACCES);
  EXPECT_EQ(caller.GetControl(fd, V4L2_CID_PRIVACY, &value), 0);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(caller.GetControl(fd, 0x0a046d01, &value), EACCES);
  EXPECT_EQ(caller.SetControl(fd, 0x0a046d01, 1), 0) << "a button is pressed by writing it";
  EXPECT_EQ(caller.GetControl(fd, 0x0a046d02, &value), EACCES);
  EXPECT_EQ(caller.SetControl(fd, 0x0a046d02, 4), 0);
  EXPECT_EQ(kernel->ControlValue("cam", 0x0a046d02), 4);
  EXPECT_EQ(caller.GetControl(fd, V4L2_CID_GAIN, &value), EINVAL);
  EXPECT_EQ(caller.SetControl(fd, V4L2_CID_GAIN, 1), EINVAL);
  v4l2_queryctrl query{};
  EXPECT_EQ(caller.QueryControl(fd, V4L2_CID_GAIN, &query), EINVAL);
  ASSERT_EQ(caller.QueryControl(fd, 0x0a046d01, &query), 0);
  EXPECT_EQ(query.type, V4L2_CTRL_TYPE_BUTTON);
  EXPECT_TRUE(query.flags & V4L2_CTRL_FLAG_WRITE_ONLY);
}

// Relative and speed controls have no read in the driver: they are write-only by their name
// alone, and the camera keeps what was written last (a speed it moves at until 0 comes).
TEST_F(EmulatedControls, RelativeAndSpeedControlsAreWriteOnly) {
  auto kernel = KernelOf(Cameras(Camera(R"(
    {"name":"pan_speed","min":-8,"max":8},
    {"name":"tilt_speed","min":-8,"max":8},
    {"name":"zoom_continuous","min":-7,"max":7},
    {"name":"focus_relative","min":-1,"max":1},
    {"name":"iris_relative","min":-1,"max":1})")));
  Caller caller(kernel);
  const int fd = caller.Open("/dev/video0");
  ASSERT_GE(fd, 0);
  const std::pair<std::uint32_t, const char*> cases[] = {
      {V4L2_CID_PAN_SPEED, "Pan, Speed"},
      {V4L2_CID_TILT_SPEED, "Tilt, Speed"},
      {V4L2_CID_ZOOM_CONTINUOUS, "Zoom, Continuous"},
      {V4L2_CID_FOCUS_RELATIVE, "Focus, Relative"},
      {V4L2_CID_IRIS_RELATIVE, "Iris, Relative"},
  };
  for (const auto& [id, name] : cases) {
    SCOPED_TRACE(name);
    v4l2_queryctrl query{};
    ASSERT_EQ(caller.QueryControl(fd, id, &query), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(query.name), name);
    EXPECT_TRUE(query.flags & V4L2_CTRL_FLAG_WRITE_ONLY);
    std::int32_t value = 0;
    EXPECT_EQ(caller.GetControl(fd, id, &value), EACCES);
    EXPECT_EQ(caller.SetControl(fd, id, -1), 0);
    EXPECT_EQ(kernel->ControlValue("cam", id), -1);
    EXPECT_EQ(caller.SetControl(fd, id, 0), 0);
    EXPECT_EQ(kernel->ControlValue("cam", id), 0);
  }
}

TEST_F(EmulatedControls, WalkReportsEachClassBeforeItsControls) {
  std::vector<std::uint32_t> ids;
  v4l2_query_ext_ctrl query{};
  query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
  while (caller_->Ioctl(fd_, VIDIOC_QUERY_EXT_CTRL, &query) == 0) {
    ids.push_back(query.id);
    query.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
  }
  ASSERT_EQ(ids.size(), 22u + 2u);  // the example's controls and two classes
  EXPECT_EQ(ids.front(), std::uint32_t{V4L2_CID_USER_CLASS});
  EXPECT_EQ(ids[1], std::uint32_t{V4L2_CID_BRIGHTNESS});
  const auto camera = std::find(ids.begin(), ids.end(), std::uint32_t{V4L2_CID_CAMERA_CLASS});
  ASSERT_NE(camera, ids.end());
  EXPECT_EQ(camera[1], std::uint32_t{V4L2_CID_EXPOSURE_AUTO});
  EXPECT_EQ(ids.back(), 0x0a046d05u) << "the vendor control comes last";
  EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
}

// A control under its automatic companion: flagged inactive; writing it is refused by the
// driver (EACCES), by the camera on older kernels ("wrong state", EILSEQ), or goes through on
// a camera that does not check.
TEST(EmulatedInactiveControls, WriteUnderAutomaticCompanion) {
  struct Case {
    std::string firmware;
    int error;
  };
  const Case cases[] = {
      {"", EACCES},
      {R"(,"firmware":{"kernel":"old"})", EILSEQ},
      {R"(,"firmware":{"inactiveCheck":false})", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firmware);
    auto kernel = KernelOf(Cameras(Camera(AutoPairs(), c.firmware)));
    Caller caller(kernel);
    const int fd = caller.Open("/dev/video0");
    ASSERT_GE(fd, 0);
    v4l2_queryctrl query{};
    ASSERT_EQ(caller.QueryControl(fd, V4L2_CID_WHITE_BALANCE_TEMPERATURE, &query), 0);
    EXPECT_TRUE(query.flags & V4L2_CTRL_FLAG_INACTIVE);
    ASSERT_EQ(caller.QueryControl(fd, V4L2_CID_AUTO_WHITE_BALANCE, &query), 0);
    EXPECT_FALSE(query.flags & V4L2_CTRL_FLAG_UPDATE)
        << "the driver's masters are no auto clusters of the control framework";
    EXPECT_EQ(caller.SetControl(fd, V4L2_CID_WHITE_BALANCE_TEMPERATURE, 5000), c.error);
    EXPECT_EQ(kernel->ControlValue("cam", V4L2_CID_WHITE_BALANCE_TEMPERATURE),
              c.error ? 4600 : 5000);
    // Manual first, then the value: two calls, as the provider makes them.
    ASSERT_EQ(caller.SetControl(fd, V4L2_CID_AUTO_WHITE_BALANCE, 0), 0);
    ASSERT_EQ(caller.QueryControl(fd, V4L2_CID_WHITE_BALANCE_TEMPERATURE, &query), 0);
    EXPECT_FALSE(query.flags & V4L2_CTRL_FLAG_INACTIVE);
    EXPECT_EQ(caller.SetControl(fd, V4L2_CID_WHITE_BALANCE_TEMPERATURE, 5200), 0);
    EXPECT_EQ(kernel->ControlValue("cam", V4L2_CID_WHITE_BALANCE_TEMPERATURE), 5200);
  }
}

// One request switching the companion to manual and setting the value: the driver lets it in,
// but sends it unit by unit in index order, so white balance and focus reach the camera
// before their companion and fail; exposure's companion comes first and it works.
TEST(EmulatedInactiveControls, CombinedRequestCommitsInTheDriversOrder) {
  struct Case {
    std::uint32_t master;
    std::int32_t manual;
    std::uint32_t value;
    std::int32_t wanted;
    int error;
  };
  const Case cases[] = {
      {V4L2_CID_AUTO_WHITE_BALANCE, 0, V4L2_CID_WHITE_BALANCE_TEMPERATURE, 5000, EACCES},
      {V4L2_CID_FOCUS_AUTO, 0, V4L2_CID_FOCUS_ABSOLUTE, 100, EACCES},
      {V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL, V4L2_CID_EXPOSURE_ABSOLUTE, 500, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    auto kernel = KernelOf(Cameras(Camera(AutoPairs())));
    Caller caller(kernel);
    const int fd = caller.Open("/dev/video0");
    const auto masterBefore = kernel->ControlValue("cam", c.master);
    const auto valueBefore = kernel->ControlValue("cam", c.value);
    std::vector<v4l2_ext_control> request = {Ext(c.master, c.manual), Ext(c.value, c.wanted)};
    std::uint32_t errorIndex = 99;
    EXPECT_EQ(caller.ExtControls(fd, VIDIOC_S_EXT_CTRLS, &request, &errorIndex), c.error);
    if (c.error) {
      EXPECT_EQ(errorIndex, 1u) << "the value's place in the request";
      EXPECT_EQ(kernel->ControlValue("cam", c.master), masterBefore) << "nothing after it is sent";
      EXPECT_EQ(kernel->ControlValue("cam", c.value), valueBefore);
    } else {
      EXPECT_EQ(kernel->ControlValue("cam", c.master), c.manual);
      EXPECT_EQ(kernel->ControlValue("cam", c.value), c.wanted);
    }
  }
}

TEST(EmulatedInactiveControls, TryAndValidationErrorsReportTheirPlace) {
  auto kernel = KernelOf(Cameras(Camera(AutoPairs())));
  Caller caller(kernel);
  const int fd = caller.Open("/dev/video0");
  std::vector<v4l2_ext_control> request = {Ext(V4L2_CID_BRIGHTNESS, 999),
                                           Ext(V4L2_CID_EXPOSURE_AUTO, 2)};
  std::uint32_t errorIndex = 99;
  EXPECT_EQ(caller.ExtControls(fd, VIDIOC_TRY_EXT_CTRLS, &request, &errorIndex), EINVAL);
  EXPECT_EQ(errorIndex, 1u);
  EXPECT_EQ(request[0].value, 255) << "a trial writes back what would be stored";
  EXPECT_EQ(caller.ExtControls(fd, VIDIOC_S_EXT_CTRLS, &request, &errorIndex), EINVAL);
  EXPECT_EQ(errorIndex, 2u) << "a write refused before the camera is reached names no control";
  EXPECT_EQ(kernel->ControlValue("cam", V4L2_CID_BRIGHTNESS), 128);
}

TEST_F(EmulatedControls, EventsReachTheOtherOpenFilesAndFlagChangesEveryone) {
  const int other = caller_->Open("/dev/video0");
  ASSERT_GE(other, 0);
  for (const int fd : {fd_, other}) {
    ASSERT_EQ(caller_->Subscribe(fd, V4L2_CID_BRIGHTNESS), 0);
    ASSERT_EQ(caller_->Subscribe(fd, V4L2_CID_WHITE_BALANCE_TEMPERATURE), 0);
  }
  ASSERT_EQ(caller_->SetControl(fd_, V4L2_CID_BRIGHTNESS, 77), 0);
  v4l2_event event{};
  EXPECT_EQ(caller_->PollNow(fd_, POLLPRI), 0);
  EXPECT_EQ(caller_->DequeueEvent(fd_, &event), ENOENT) << "the writer hears nothing";
  EXPECT_EQ(caller_->PollNow(other, POLLPRI), POLLPRI);
  ASSERT_EQ(caller_->DequeueEvent(other, &event), 0);
  EXPECT_EQ(event.type, std::uint32_t{V4L2_EVENT_CTRL});
  EXPECT_EQ(event.id, std::uint32_t{V4L2_CID_BRIGHTNESS});
  EXPECT_EQ(event.u.ctrl.changes, std::uint32_t{V4L2_EVENT_CTRL_CH_VALUE});
  EXPECT_EQ(event.u.ctrl.value, 77);
  EXPECT_EQ(event.pending, 0u);
  std::int32_t value = 0;
  ASSERT_EQ(caller_->GetControl(other, V4L2_CID_BRIGHTNESS, &value), 0);
  EXPECT_EQ(value, 77) << "two opens share one device";

  // The companion made manual: the temperature's flags change, which everyone hears.
  ASSERT_EQ(caller_->SetControl(fd_, V4L2_CID_AUTO_WHITE_BALANCE, 0), 0);
  for (const int fd : {fd_, other}) {
    ASSERT_EQ(caller_->DequeueEvent(fd, &event), 0);
    EXPECT_EQ(event.id, std::uint32_t{V4L2_CID_WHITE_BALANCE_TEMPERATURE});
    EXPECT_TRUE(event.u.ctrl.changes & V4L2_EVENT_CTRL_CH_FLAGS);
    EXPECT_FALSE(event.u.ctrl.flags & V4L2_CTRL_FLAG_INACTIVE);
  }
  // Another program's write reaches every subscriber; two writes wait as one event.
  kernel_->SetControlValue("studio", V4L2_CID_BRIGHTNESS, 10);
  kernel_->SetControlValue("studio", V4L2_CID_BRIGHTNESS, 11);
  ASSERT_EQ(caller_->DequeueEvent(fd_, &event), 0);
  EXPECT_EQ(event.u.ctrl.value, 11);
  EXPECT_EQ(caller_->DequeueEvent(fd_, &event), ENOENT);
}

TEST_F(EmulatedControls, WaitingPollWakesForAnotherThreadsChange) {
  ASSERT_EQ(caller_->Subscribe(fd_, V4L2_CID_CONTRAST), 0);
  std::thread writer([&] { kernel_->SetControlValue("studio", V4L2_CID_CONTRAST, 3); });
  pollfd entry{fd_, POLLPRI, 0};
  // Whichever comes first, the poll ends with the event: at once, or when it arrives.
  EXPECT_EQ(caller_->door().Poll(&entry, 1, 60'000), 1);
  EXPECT_EQ(entry.revents, POLLPRI);
  writer.join();
}

TEST_F(EmulatedControls, CacheReadsTheCameraOnceExceptForValuesItChangesItself) {
  std::int32_t value = 0;
  kernel_->ResetCounts();
  ASSERT_EQ(caller_->GetControl(fd_, V4L2_CID_CONTRAST, &value), 0);
  const std::size_t first = kernel_->DeviceTransfers("studio");
  EXPECT_EQ(first, 1u);
  ASSERT_EQ(caller_->GetControl(fd_, V4L2_CID_CONTRAST, &value), 0);
  v4l2_queryctrl query{};
  ASSERT_EQ(caller_->QueryControl(fd_, V4L2_CID_CONTRAST, &query), 0);
  ASSERT_EQ(caller_->QueryControl(fd_, V4L2_CID_CONTRAST, &query), 0);
  EXPECT_EQ(kernel_->DeviceTransfers("studio"), first + 1) << "ranges are read once too";
  // Exposure time is updated by the camera itself, so every read reaches it.
  ASSERT_EQ(caller_->GetControl(fd_, V4L2_CID_EXPOSURE_ABSOLUTE, &value), 0);
  ASSERT_EQ(caller_->GetControl(fd_, V4L2_CID_EXPOSURE_ABSOLUTE, &value), 0);
  EXPECT_EQ(kernel_->DeviceTransfers("studio"), first + 3);
  EXPECT_EQ(kernel_->IoctlCount(VIDIOC_G_CTRL), 4u);
  EXPECT_EQ(kernel_->IoctlCount(), 6u);
}

TEST(EmulatedFirmware, FaultsFailTheirControlOnlyAndOnlyAsOftenAsAsked) {
  auto kernel = KernelOf(Cameras(Camera(R"(
      {"name":"brightness","min":0,"max":255,"default":128},
      {"name":"contrast","min":0,"max":255,"default":128},
      {"name":"gain","min":0,"max":255,"default":0},
      {"name":"saturation","min":0,"max":255,"default":64})",
                                        R"(,"firmware":{"faults":[
      {"control":"gain","call":"get","errno":"EIO","times":1},
      {"control":"contrast","call":"set","errno":"ETIMEDOUT"},
      {"control":"saturation","call":"query","errno":"EBUSY","times":2}]})")));
  Caller caller(kernel);
  const int fd = caller.Open("/dev/video0");
  std::int32_t value = 0;
  v4l2_queryctrl query{};
  EXPECT_EQ(caller.GetControl(fd, V4L2_CID_GAIN, &value), EIO);
  EXPECT_EQ(caller.GetControl(fd, V4L2_CID_GAIN, &value), 0) << "failed once, as asked";
  EXPECT_EQ(caller.SetControl(fd, V4L2_CID_CONTRAST, 5), ETIMEDOUT);
  EXPECT_EQ(caller.SetControl(fd, V4L2_CID_CONTRAST, 5), ETIMEDOUT);
  EXPECT_EQ(kernel->ControlValue("cam", V4L2_CID_CONTRAST), 128);
  EXPECT_EQ(caller.QueryControl(fd, V4L2_CID_SATURATION, &query), EBUSY);
  EXPECT_EQ(caller.QueryControl(fd, V4L2_CID_SATURATION, &query), EBUSY);
  EXPECT_EQ(caller.QueryControl(fd, V4L2_CID_SATURATION, &query), 0);
  EXPECT_EQ(caller.SetControl(fd, V4L2_CID_BRIGHTNESS, 9), 0) << "the other controls work";
  EXPECT_EQ(caller.GetControl(fd, V4L2_CID_BRIGHTNESS, &value), 0);
  EXPECT_EQ(value, 9);
}

}  // namespace
}  // namespace korvane::v4l2::emulation::testing
