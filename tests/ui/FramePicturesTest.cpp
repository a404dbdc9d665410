// The pictures of fixed frames, byte for byte: the camera test's picture and the snapshot files
// of every format a camera streams (the simulated cameras' YUY2, NV12, RGB24, RGB32 and Motion
// JPEG, an emulated UVC camera's YUYV and MJPG), in the renderer's graph and in the grabber's.
// The frame is each stream's first: the cameras film one frame a second, so the graph is
// paused long before the second comes. Any change to the way frames travel must leave every
// one of these pictures as it is.
//
// The reference files in tests/ui/pictures were written by this test itself, run with
// KORVANE_WRITE_REFERENCE_PICTURES=1 before the frame path was changed.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "platform/devices/DeviceProvider.h"
#include "platform/graph/GraphClasses.h"
#include "platform/v4l2/V4l2Provider.h"
#include "platform/v4l2/emulation/EmulatedKernel.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/PaintBox.h"

using namespace uitest;

namespace {

constexpr int kWidth = 90;  // not a multiple of four: RGB24 rows are padded
constexpr int kHeight = 60;
constexpr REFERENCE_TIME kOneSecond = 10'000'000;
constexpr int kFrameWaitMs = 20'000;

bool Writing() {
  const char* value = std::getenv("KORVANE_WRITE_REFERENCE_PICTURES");
  return value && *value;
}

std::string ReferencePath(const std::string& name) {
  return std::string(KORVANE_REFERENCE_PICTURES) + "/" + name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

// The bytes equal the reference file of that name; or, while writing, become it.
void ExpectFile(const std::string& name, const std::string& bytes) {
  SCOPED_TRACE(name);
  ASSERT_FALSE(bytes.empty()) << "no picture";
  if (Writing()) {
    std::ofstream(ReferencePath(name), std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return;
  }
  const std::string reference = ReadFile(ReferencePath(name));
  ASSERT_FALSE(reference.empty()) << "no reference file " << ReferencePath(name);
  ASSERT_EQ(bytes.size(), reference.size());
  EXPECT_TRUE(bytes == reference) << "the bytes differ from the reference";
}

// The picture's pixels equal those of the reference image of that name (kept as PNG).
void ExpectPicture(const std::string& name, const QImage& picture) {
  SCOPED_TRACE(name);
  ASSERT_FALSE(picture.isNull()) << "no picture";
  const QImage shown = picture.convertToFormat(QImage::Format_RGB32);
  const QString path = QString::fromStdString(ReferencePath(name));
  if (Writing()) {
    ASSERT_TRUE(shown.save(path, "PNG"));
    return;
  }
  const QImage reference = QImage(path).convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(reference.isNull()) << "no reference image " << path.toStdString();
  ASSERT_EQ(shown.size(), reference.size());
  for (int y = 0; y < shown.height(); ++y) {
    ASSERT_EQ(std::memcmp(shown.constScanLine(y), reference.constScanLine(y),
                          static_cast<std::size_t>(shown.width()) * 4),
              0)
        << "row " << y << " differs";
  }
}

// The current frame as a file image; empty until one has come.
std::string SnapshotFile(TFCamera& camera, TFImageFormat* format = nullptr) {
  std::ostringstream file;
  try {
    const TFImageFormat written = camera.CurrentImageToStream(file);
    if (format) *format = written;
  } catch (...) {
    return {};  // the renderer has no picture yet
  }
  return file.str();
}

// Waits for the stream's first frame and holds the graph on it.
bool PausedOnFirstFrame(TFCamera& camera) {
  if (!QTest::qWaitFor([&] { return !SnapshotFile(camera).empty(); }, kFrameWaitMs)) return false;
  camera.Pause();
  return true;
}

std::string Extension(TFImageFormat format) {
  return format == ifJpeg ? ".jpg" : ".bmp";
}

struct PictureCase {
  std::string name;
  // Whether the camera test shows a picture: the renderer takes the format.
  bool shown;
};

// The camera test's picture and the renderer's snapshot, then the grabber's snapshot, of the
// first camera listed. The test and the grabber's stream end on every path, a failed one too.
void ExpectPicturesOf(TFormMain& form, const PictureCase& c) {
  TFCamera& camera = form.GetCamera();
  // A test that cannot start says so in a message box; answered, its text fails the test.
  ModalAnswerer messages(QStringLiteral("MessageForm"), ClickButton1);
  const std::unique_ptr<TFormMain, void (*)(TFormMain*)> ending(
      &form, [](TFormMain* started) { started->StopDevice(); });
  form.StartDevice();
  ASSERT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join(QLatin1Char(' ')).toStdString();
  if (c.shown) {
    ASSERT_EQ(camera.GetCaptureType(), ctVmr9);
    form.CameraTimer->stop();
    ASSERT_TRUE(PausedOnFirstFrame(camera)) << "no frame came";
    TPaintBox* const paintBox = form.PaintBox.data();
    ASSERT_NE(paintBox, nullptr);
    ExpectPicture(c.name + "-picture.png", paintBox->grab().toImage());
    TFImageFormat format = ifBmp;
    const std::string file = SnapshotFile(camera, &format);
    ExpectFile(c.name + "-renderer" + Extension(format), file);
  } else {
    EXPECT_EQ(camera.GetCaptureType(), ctGrabber);
  }
  form.StopDevice();

  // A component of its own: the window's re-reads the camera while no test window is shown.
  TFCamera grabbing;
  const std::unique_ptr<TFCamera, void (*)(TFCamera*)> stopping(&grabbing, [](TFCamera* ended) {
    if (ended->GetActive()) ended->SetActive(false);
  });
  grabbing.SetDeviceName(camera.GetDeviceName());
  grabbing.SetFormat(camera.GetSupportedFormats().front());
  grabbing.SetCaptureType(ctGrabber);
  grabbing.SetActive(true);
  grabbing.Run();
  ASSERT_TRUE(PausedOnFirstFrame(grabbing)) << "no frame came to the grabber";
  TFImageFormat format = ifBmp;
  const std::string file = SnapshotFile(grabbing, &format);
  ExpectFile(c.name + "-grabber" + Extension(format), file);
}

korvane::sim::SimFormat SimFormat(const GUID& subtype, LONG height, WORD bits, DWORD compression) {
  korvane::sim::SimFormat format;
  format.subtype = subtype;
  format.width = kWidth;
  format.height = height;
  format.avgTimePerFrame = kOneSecond;
  format.bitCount = bits;
  format.compression = compression;
  format.fixedSizeSamples = subtype != MEDIASUBTYPE_MJPG;
  return format;
}

TEST(FramePictures, SimulatedCamerasOfEveryFormatShowAndSnapshotTheirFramesAsBefore) {
  const struct Case {
    PictureCase pictures;
    korvane::sim::SimFormat format;
  } cases[] = {
      {{"sim-yuy2", true},
       SimFormat(MEDIASUBTYPE_YUY2, kHeight, 16, MakeFourCC('Y', 'U', 'Y', '2'))},
      {{"sim-nv12", false},
       SimFormat(MEDIASUBTYPE_NV12, kHeight, 12, MakeFourCC('N', 'V', '1', '2'))},
      {{"sim-rgb24", true}, SimFormat(MEDIASUBTYPE_RGB24, kHeight, 24, BI_RGB)},
      {{"sim-rgb32", true}, SimFormat(MEDIASUBTYPE_RGB32, kHeight, 32, BI_RGB)},
      {{"sim-rgb32-topdown", true}, SimFormat(MEDIASUBTYPE_RGB32, -kHeight, 32, BI_RGB)},
      {{"sim-mjpg", true},
       SimFormat(MEDIASUBTYPE_MJPG, kHeight, 24, MakeFourCC('M', 'J', 'P', 'G'))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pictures.name);
    TempHome home;
    korvane::sim::SimDevice camera = Camera("Fixed frames");
    camera.formats = {c.format};
    korvane::sim::SimDescription description;
    description.devices = {camera, Camera("Spare")};
    Session session(description);
    ExpectPicturesOf(session.Form(), c.pictures);
  }
}

std::string UvcCameras(const char* fourcc) {
  const std::string size =
      R"("width":)" + std::to_string(kWidth) + R"(,"height":)" + std::to_string(kHeight);
  return R"({"cameras":[{"id":"cam","node":0,"card":"Fixed frames","usb":{"vendor":"1234",
    "product":"5678","productName":"Fixed frames"},"controls":[],
    "formats":[{"fourcc":")" +
         std::string(fourcc) + R"(","sizes":[{)" + size + R"(,"intervals":["1/1"]}]}],
    "current":{"fourcc":")" +
         fourcc + R"(",)" + size + R"(,"interval":"1/1"}},
    {"id":"spare","node":2,"card":"Spare","usb":{"vendor":"1234","product":"5679",
    "productName":"Spare"},"controls":[],
    "formats":[{"fourcc":"YUYV","sizes":[{"width":64,"height":48,"intervals":["1/30"]}]}]}]})";
}

TEST(FramePictures, EmulatedUvcCamerasShowAndSnapshotTheirFramesAsBefore) {
  for (const char* fourcc : {"YUYV", "MJPG"}) {
    SCOPED_TRACE(fourcc);
    TempHome home;
    std::string error;
    const auto kernel =
        korvane::v4l2::emulation::EmulatedKernel::FromJson(UvcCameras(fourcc), &error);
    ASSERT_NE(kernel, nullptr) << error;
    korvane::devices::ScopedDeviceProviders providers({korvane::v4l2::MakeV4l2Provider(kernel)});
    korvane::graph::RegisterGraphClasses();  // as the program does at start
    App();
    const TApplicationWindows windows = CreateApplicationWindows({});
    windows.FormMain->show();
    ASSERT_EQ(windows.FormMain->GetCamera().GetDeviceName(), "Fixed frames");
    const std::string name = std::string("uvc-") + (fourcc[0] == 'Y' ? "yuyv" : "mjpg");
    ExpectPicturesOf(*windows.FormMain, {name, true});
  }
}

}  // namespace
