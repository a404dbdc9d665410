// The camera test: the selected camera's live picture in the test window, on streaming
// simulated cameras.
#include <gtest/gtest.h>

#include <QDir>
#include <QGraphicsDropShadowEffect>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <functional>

#include "tests/ui/ActionTestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ListBox.h"
#include "ui/LiveCam.h"
#include "ui/PaintBox.h"
#include "widgets/Image.h"

using namespace uitest;

namespace {

constexpr int kWaitMs = 10000;

// The camera and a spare one: with two cameras listed, the first is selected at start.
korvane::sim::SimDescription OneCamera(korvane::sim::SimDevice camera) {
  korvane::sim::SimDescription description;
  description.devices = {std::move(camera), Camera("Spare")};
  return description;
}

korvane::sim::SimDevice CameraAt(const std::string& name, korvane::sim::SimFormat format) {
  korvane::sim::SimDevice camera = Camera(name);
  camera.formats = {std::move(format)};
  return camera;
}

// Counts the paint box's repaints.
struct PaintCounter {
  explicit PaintCounter(TPaintBox& box) {
    QObject::connect(&box, &TPaintBox::Paint, &context, [this](QPainter&) { ++count; });
  }
  QObject context;
  int count = 0;
};

// The test window as the window system shows it.
QImage ShownPicture(TLivecamForm& window) {
  return window.screen()->grabWindow(window.winId()).toImage();
}

// The test is idle: nothing ticks or blinks, the camera is closed.
void ExpectIdle(TFormMain& form) {
  EXPECT_FALSE(form.CameraTimer->isActive());
  EXPECT_FALSE(form.CameraGlowTimer->isActive());
  EXPECT_FALSE(form.CameraOff->isHidden());
  EXPECT_FALSE(form.CameraIconGlow->isEnabled());
  EXPECT_FALSE(form.CameraIconInnerGlow->isEnabled());
  EXPECT_FALSE(form.GetCamera().GetActive());
}

}  // namespace

TEST(LiveCam, StartedTestShowsTheCameraAtItsFormatUntilTheWindowIsHidden) {
  struct Case {
    const char* name;
    REFERENCE_TIME avgTimePerFrame;
    int intervalMs;
  };
  // A format that does not tell its frame period is repainted at 30 frames a second.
  const Case cases[] = {{"30 fps", 333333, 33},
                        {"15 fps", 666666, 66},
                        {"no frame period", 0, 33},
                        {"under a millisecond", 5000, 33}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempHome home;
    Session session(OneCamera(CameraAt("Test cam", Format(320, 240, c.avgTimePerFrame))));
    TFormMain& form = session.Form();
    TLivecamForm& window = *form.GetLivecamForm();
    TPaintBox* const paintBox = form.PaintBox.data();
    ASSERT_NE(paintBox, nullptr);
    PaintCounter paints(*paintBox);

    form.StartDevice();
    ASSERT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(),
              QStringLiteral("Test cam @ ") + form.ComboBoxFormat->SelectedText());
    EXPECT_EQ(window.GetTag(), 1);
    EXPECT_EQ(window.size(), QSize(320, 240));
    EXPECT_EQ(paintBox->parentWidget(), window.CameraPanel);
    EXPECT_EQ(form.CameraTimer->interval(), c.intervalMs);
    EXPECT_TRUE(form.CameraTimer->isActive());
    EXPECT_EQ(form.CameraGlowTimer->interval(), 500);
    EXPECT_TRUE(form.CameraGlowTimer->isActive());
    EXPECT_TRUE(form.CameraOff->isHidden());
    EXPECT_TRUE(form.GetCamera().GetActive());
    EXPECT_EQ(form.GetCamera().GetCaptureType(), ctVmr9);
    ASSERT_TRUE(QTest::qWaitFor([&] { return paints.count >= 3; }, kWaitMs));

    // A size set by hand is undone at the next tick.
    window.resize(200, 100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.size() == QSize(320, 240); }, kWaitMs));

    window.hide();
    EXPECT_EQ(window.GetTag(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.GetCamera().GetActive(); }, kWaitMs));
    ExpectIdle(form);
  }
}

TEST(LiveCam, ThePictureInTheTestWindowMoves) {
  TempHome home;
  Session session(OneCamera(CameraAt("Moving cam", Format(320, 240))));
  TLivecamForm& window = *session.Form().GetLivecamForm();
  session.Form().StartDevice();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  // The first frames arrive after the window shows; the picture is there once the grab is
  // no longer one colour.
  QImage first;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        first = ShownPicture(window);
        return !first.isNull() &&
               first.pixel(0, 0) != first.pixel(first.width() / 2, first.height() / 2);
      },
      kWaitMs));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShownPicture(window) != first; }, kWaitMs));
}

TEST(LiveCam, CameraHeldByAnotherProgramIsReportedAndTheTestReturnsToIdle) {
  TempHome home;
  korvane::sim::SimDevice camera = CameraAt("Busy cam", Format(320, 240));
  camera.heldByAnotherProgram = true;
  Session session(OneCamera(camera));
  TFormMain& form = session.Form();
  ModalAnswerer answer(QStringLiteral("MessageForm"), ClickButton1);

  form.StartDevice();
  ASSERT_EQ(answer.Texts(),
            QStringList{QStringLiteral(
                "Busy cam used in another app. Change settings here, observe results there!")});
  EXPECT_FALSE(form.GetLivecamForm()->isVisible());
  EXPECT_EQ(form.CameraTimer->interval(), 0);
  ExpectIdle(form);
}

TEST(LiveCam, FramesThroughTheGrabberShowNoWindowAndReachTheWindowThread) {
  TempHome home;
  korvane::sim::SimFormat nv12 = Format(320, 240, 333333, 12);
  nv12.subtype = MEDIASUBTYPE_NV12;
  nv12.compression = MakeFourCC('N', 'V', '1', '2');
  Session session(OneCamera(CameraAt("Grabber cam", nv12)), {QStringLiteral("trace")});
  TFormMain& form = session.Form();

  form.StartDevice();
  EXPECT_TRUE(form.GetCamera().GetActive());
  EXPECT_EQ(form.GetCamera().GetCaptureType(), ctGrabber);
  EXPECT_FALSE(form.GetLivecamForm()->isVisible());
  EXPECT_FALSE(form.CameraTimer->isActive());
  EXPECT_FALSE(form.CameraOff->isHidden());
  // Each notice is handled on this thread, where the trace log lives.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return session.TraceLines().count(QStringLiteral("FCameraImageAvailable")) >= 3; },
      kWaitMs));
  form.StopDevice();
  ExpectIdle(form);
}

TEST(LiveCam, TraceOfAStartAStopAndTheIconClicks) {
  TempHome home;
  Session session(OneCamera(CameraAt("Trace cam", Format(320, 240))), {QStringLiteral("trace")});
  TFormMain& form = session.Form();
  TLivecamForm& window = *form.GetLivecamForm();
  form.Memo1->clear();

  form.ButtonTestCamClick();
  ASSERT_TRUE(window.isVisible());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return session.TraceLines().contains(QStringLiteral("CameraTimerTimer")); }, kWaitMs));
  // A double click on a format while the test shows changes nothing.
  form.ComboBoxFormatDblClick();
  EXPECT_EQ(session.TraceLines().count(QStringLiteral("FCamera.Run")), 1);
  form.ButtonTestCamClick();
  EXPECT_FALSE(window.isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form.GetCamera().GetActive(); }, kWaitMs));

  const QStringList trace = session.TraceLines();
  EXPECT_TRUE(
      InOrder(trace, {QStringLiteral("FCamera.Active := True"), QStringLiteral("FCamera.Run"),
                      QStringLiteral("CameraTimerTimer"), QStringLiteral("Hide 3"),
                      QStringLiteral("CameraTimerTimer"), QStringLiteral("StopDevice")}))
      << trace.join(QLatin1Char('\n')).toStdString();
  EXPECT_EQ(trace.count(QStringLiteral("StopDevice")), 1);

  // The format list's double click starts a test when none shows.
  form.ComboBoxFormatDblClick();
  EXPECT_TRUE(window.isVisible());
  form.Image1Click();
  EXPECT_EQ(session.TraceLines().last(), QStringLiteral("Hide 2"));
}

TEST(LiveCam, TheIconBlinksInOppositePhaseAndLightsUnderThePointer) {
  TempHome home;
  Session session(OneCamera(CameraAt("Blink cam", Format(320, 240))));
  TFormMain& form = session.Form();
  for (int tick = 0; tick < 3; ++tick) {
    form.CameraGlowTimerTimer();
    EXPECT_EQ(form.CameraIconGlow->isEnabled(), tick % 2 == 0);
    EXPECT_NE(form.CameraIconInnerGlow->isEnabled(), form.CameraIconGlow->isEnabled());
  }
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(form.ButtonTestCam, &leave);
  EXPECT_FALSE(form.CameraCouldStartGlow->isEnabled());
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(form.ButtonTestCam, &enter);
  EXPECT_TRUE(form.CameraCouldStartGlow->isEnabled());
}

TEST(LiveCam, ACameraUnpluggedDuringTheTestIsReportedOnceAndTheTestEnds) {
  TempHome home;
  Session session(OneCamera(CameraAt("Gone cam", Format(320, 240))));
  TFormMain& form = session.Form();
  form.StartDevice();
  ASSERT_TRUE(form.GetLivecamForm()->isVisible());

  ModalAnswerer answer(QStringLiteral("ApplicationErrorBox"), ClickOk);
  session.Store().Modify([](korvane::sim::SimDescription& d) { d.devices[0].absent = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form.GetCamera().GetActive(); }, kWaitMs));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !answer.Texts().isEmpty(); }, kWaitMs));
  QTest::qWait(200);  // further ticks would report again
  EXPECT_EQ(answer.Texts().size(), 1);
  EXPECT_FALSE(form.GetLivecamForm()->isVisible());
  ExpectIdle(form);
}

TEST(LiveCam, StartsAndStopsLeaveNoThreadOrDescriptorBehind) {
  TempHome home;
  Session session(OneCamera(CameraAt("Cycle cam", Format(320, 240))));
  TFormMain& form = session.Form();
  const auto count = [](const char* folder) {
    return QDir(QLatin1String(folder)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size();
  };
  // One cycle first: the window system and the graph's classes are set up once.
  form.StartDevice();
  form.StopDevice();
  const qsizetype threads = count("/proc/self/task");
  const qsizetype descriptors = count("/proc/self/fd");
  for (int cycle = 0; cycle < 25; ++cycle) {
    form.StartDevice();
    ASSERT_TRUE(form.GetCamera().GetActive());
    form.StopDevice();
  }
  EXPECT_EQ(count("/proc/self/task"), threads);
  EXPECT_EQ(count("/proc/self/fd"), descriptors);
}

TEST(LiveCam, MinimisingTheTestWindowKeepsTheTestRunning) {
  TempHome home;
  Session session(OneCamera(CameraAt("Minimised cam", Format(320, 240))));
  TFormMain& form = session.Form();
  TLivecamForm& window = *form.GetLivecamForm();
  form.StartDevice();
  ASSERT_TRUE(window.isVisible());

  // As a window manager does: the window system's own hide event, the window still visible.
  window.setWindowState(window.windowState() | Qt::WindowMinimized);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.GetTag(), 1);
  // The periodic re-read leaves the camera to the test.
  form.RefreshTimerTimer();
  EXPECT_TRUE(form.GetCamera().GetActive());
  EXPECT_TRUE(form.CameraTimer->isActive());

  window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  form.RefreshTimerTimer();
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(form.GetCamera().GetActive());
  window.hide();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form.GetCamera().GetActive(); }, kWaitMs));
}

TEST(LiveCam, EachTestOpensInTheMiddleOfTheScreenAtItsVideoSize) {
  TempHome home;
  korvane::sim::SimDevice camera = Camera("Sized cam");
  camera.formats = {Format(320, 240), Format(640, 480)};
  Session session(OneCamera(camera));
  TFormMain& form = session.Form();
  TLivecamForm& window = *form.GetLivecamForm();
  const QPoint middle = window.screen()->availableGeometry().center();
  for (int format : {0, 1, 0}) {
    SCOPED_TRACE(format);
    form.ComboBoxFormat->SetItemIndex(format);
    form.StartDevice();
    ASSERT_TRUE(window.isVisible());
    const QRect outer = window.frameGeometry();
    EXPECT_EQ(window.size(), format == 0 ? QSize(320, 240) : QSize(640, 480));
    EXPECT_LE((outer.center() - middle).manhattanLength(), 1)
        << outer.x() << "," << outer.y() << " " << outer.width() << "x" << outer.height() << " "
        << middle.x() << "," << middle.y();
    window.hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.GetCamera().GetActive(); }, kWaitMs));
  }
}

TEST(LiveCam, StartDeviceWithoutAFormatToStartDoesNothingOrReportsIt) {
  struct Case {
    const char* name;
    std::function<void(Session&)> prepare;
    QStringList reported;
  };
  const Case cases[] = {
      {"no formats",
       [](Session& s) {
         s.Form().ComboBoxFormat->Clear();
         s.Form().ComboBoxFormat->SetItemIndex(-1);
       },
       {}},
      {"no selection", [](Session& s) { s.Form().ComboBoxFormat->SetItemIndex(-1); }, {}},
      // The camera lost the selected format since the list was filled.
      {"index beyond the camera's formats",
       [](Session& s) {
         s.Form().ComboBoxFormat->SetItemIndex(1);
         s.Store().Modify([](korvane::sim::SimDescription& d) { d.devices[0].formats.pop_back(); });
       },
       {QStringLiteral("Format not found.")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempHome home;
    korvane::sim::SimDevice camera = Camera("Listed cam");
    camera.formats = {Format(320, 240), Format(640, 480)};
    Session session(OneCamera(camera));
    TFormMain& form = session.Form();
    ASSERT_EQ(form.ComboBoxFormat->Count(), 2);
    c.prepare(session);
    ModalAnswerer answer(QStringLiteral("ApplicationErrorBox"), ClickOk);

    emit form.ButtonTestCam->clicked();
    if (!c.reported.isEmpty()) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return !answer.Texts().isEmpty(); }, kWaitMs));
    }
    EXPECT_EQ(answer.Texts(), c.reported);
    EXPECT_FALSE(form.GetLivecamForm()->isVisible());
    ExpectIdle(form);
  }
}

TEST(LiveCam, TheRendererDrawsATransparentBorder) {
  TempHome home;
  Session session(OneCamera(CameraAt("Border cam", Format(320, 240))));
  TFormMain& form = session.Form();
  EXPECT_EQ(form.GetCamera().GetBorderColor(), 0u);
  form.StartDevice();
  ASSERT_EQ(form.GetCamera().GetCaptureType(), ctVmr9);
  EXPECT_EQ(form.GetCamera().GetBorderColor(), 0u);  // as the renderer holds it
  form.StopDevice();
}

TEST(LiveCam, PaintBoxPaintDrawsNothingWithoutAPicture) {
  struct Case {
    const char* name;
    bool active;  // active but not running: the renderer has no picture yet
    bool traced;
  };
  const Case cases[] = {{"inactive", false, false}, {"no picture to take", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempHome home;
    Session session(OneCamera(CameraAt("Paint cam", Format(320, 240))), {QStringLiteral("trace")});
    TFormMain& form = session.Form();
    form.GetCamera().SetActive(c.active);
    ASSERT_EQ(form.GetCamera().GetActive(), c.active);
    form.Memo1->clear();

    QImage canvas(64, 48, QImage::Format_RGB32);
    canvas.fill(Qt::green);
    const QImage before = canvas;
    {
      QPainter painter(&canvas);
      form.PaintBoxPaint(painter);
    }
    EXPECT_EQ(canvas, before);
    EXPECT_EQ(session.TraceLines().contains(QStringLiteral("PaintBoxPaint Error")), c.traced);
    form.GetCamera().SetActive(false);
  }
}
