// Property editing: a moved track bar or a ticked "Auto" goes to the camera at once, and
// only then.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include "tests/ui/UiTestSupport.h"
#include "ui/ListBox.h"
#include "widgets/TrackBar.h"

using namespace uitest;

namespace {

korvane::sim::SimDescription OneConfigurableCamera(korvane::sim::SimControl brightness,
                                                   korvane::sim::SimControl zoom = Control(100, 400,
                                                                                           10,
                                                                                           100)) {
  korvane::sim::SimDevice camera = Camera("Cam");
  camera.videoProcAmp[kBrightness] = brightness;
  camera.cameraControl[kZoom] = zoom;
  korvane::sim::SimDescription description;
  description.devices = {camera, Camera("Spare")};
  return description;
}

constexpr HRESULT kFail = static_cast<HRESULT>(0x80004005);

}  // namespace

TEST(Editing, MovingATrackBarWritesTheValueKeepingTheMode) {
  TempHome home;
  Session session(OneConfigurableCamera(Control(0, 255, 1, 128)));
  auto* trackBar = session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"));
  ASSERT_EQ(session.Store().CallCount("IAMVideoProcAmp::Set"), 0u);

  trackBar->setFocus();
  QTest::keyClick(trackBar, Qt::Key_Right);
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 129);
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).flags, 2);
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"))->text(),
            QStringLiteral("129"));
  EXPECT_EQ(session.Store().CallCount("IAMVideoProcAmp::Set"), 1u);

  // The camera-control group goes through its own interface, on its own step grid.
  auto* zoom = session.Find<TTrackBar>(QStringLiteral("TrackBarZoom"));
  zoom->setFocus();
  QTest::keyClick(zoom, Qt::Key_End);
  EXPECT_EQ(session.CameraControl(0, kZoom).value, 400);
  EXPECT_EQ(session.Store().CallCount("IAMCameraControl::Set"), 1u);
}

TEST(Editing, DraggingTheThumbWritesEveryNewPosition) {
  TempHome home;
  Session session(OneConfigurableCamera(Control(0, 255, 1, 0)));
  auto* trackBar = session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"));
  const int middle = trackBar->height() / 2;
  QTest::mousePress(trackBar, Qt::LeftButton, {}, QPoint(1, middle));
  for (int x = 1; x <= trackBar->width(); x += 8) {
    QMouseEvent move(QEvent::MouseMove, QPointF(x, middle),
                     trackBar->mapToGlobal(QPointF(x, middle)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(trackBar, &move);
  }
  QTest::mouseRelease(trackBar, Qt::LeftButton, {}, QPoint(trackBar->width() - 1, middle));
  EXPECT_EQ(trackBar->Value(), 255);
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 255);
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"))->text(),
            QStringLiteral("255"));
  EXPECT_GT(session.Store().CallCount("IAMVideoProcAmp::Set"), 2u);
}

TEST(Editing, AFractionalPositionIsTruncatedForTheDevice) {
  TempHome home;
  Session session(OneConfigurableCamera(Control(0, 10, 0, 1)));
  auto* trackBar = session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"));
  trackBar->SetValue(2.9);
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 2);
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"))->text(),
            QStringLiteral("2.90000009536743"));
  trackBar->SetValue(-0.5);  // clamped to the minimum 0
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 0);
}

TEST(Editing, TickingAutoWritesTheModeAndRereadsTheRows) {
  TempHome home;
  Session session(OneConfigurableCamera(Control(0, 255, 1, 128)));
  auto* checkBox = session.Find<QCheckBox>(QStringLiteral("CheckBoxBrightness"));
  auto* trackBar = session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"));
  ASSERT_TRUE(trackBar->isEnabled());

  QTest::mouseClick(checkBox, Qt::LeftButton, {}, QPoint(8, checkBox->height() / 2));
  EXPECT_TRUE(checkBox->isChecked());
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).flags, 1);
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 128);
  EXPECT_FALSE(trackBar->isEnabled());

  QTest::mouseClick(checkBox, Qt::LeftButton, {}, QPoint(8, checkBox->height() / 2));
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).flags, 2);
  EXPECT_TRUE(trackBar->isEnabled());
  EXPECT_EQ(session.Store().CallCount("IAMVideoProcAmp::Set"), 2u);
}

TEST(Editing, NothingIsWrittenWhileTheRowsFillOrWithoutAdjustableProperty) {
  TempHome home;
  korvane::sim::SimDescription description = OneConfigurableCamera(Control(0, 255, 5, 100, 3, 1));
  description.devices[1].videoProcAmp[kBrightness] = Control(0, 255, 1, 7);
  description.devices[1].missingInterfaces = {"IAMVideoProcAmp", "IAMCameraControl"};
  Session session(description);
  TFormMain& form = session.Form();
  for (int pass = 0; pass < 3; ++pass) form.ComboBoxCameraChange();
  session.ClickCamera(1);
  session.ClickCamera(0);
  EXPECT_EQ(session.Store().CallCount("IAMVideoProcAmp::Set"), 0u);
  EXPECT_EQ(session.Store().CallCount("IAMCameraControl::Set"), 0u);

  // Formats but nothing adjustable: a moved bar changes neither the label nor the device.
  session.ClickCamera(1);
  ASSERT_EQ(form.GetSupportStatus(), 1);
  auto* trackBar = session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"));
  trackBar->SetMax(50);
  trackBar->SetValue(30);
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"))->text(),
            QStringLiteral(" "));
  EXPECT_EQ(session.Store().CallCount("IAMVideoProcAmp::Set"), 0u);
}

TEST(Editing, ADriverThatFailsOnAutoIsReportedAndTheBoxUnticked) {
  struct Case {
    const char* name;
    LONG startFlags;  // 2 manual: the user ticks; 1 auto: the user unticks
    int messages;
  };
  for (const Case& c : {Case{"failing tick", 2, 2}, Case{"failing untick", 1, 1}}) {
    SCOPED_TRACE(c.name);
    TempHome home;
    korvane::sim::SimDescription description =
        OneConfigurableCamera(Control(0, 255, 1, 128, 3, c.startFlags));
    description.devices[0].faults["IAMVideoProcAmp::Set#0"] = kFail;
    Session session(description);
    auto* checkBox = session.Find<QCheckBox>(QStringLiteral("CheckBoxBrightness"));
    ModalAnswerer answerer(QStringLiteral("MessageForm"), ClickButton1);

    checkBox->click();
    EXPECT_FALSE(checkBox->isChecked());
    ASSERT_EQ(answerer.Texts().size(), c.messages);
    EXPECT_EQ(answerer.Texts().front(),
              QStringLiteral("KorvaneCamSettingsTool detected an inconsistent cam driver "
                             "implementation. Cam states this function is supported but returns an "
                             "error when accessing it"));
    EXPECT_EQ(session.Form().GetMessageForm()->windowTitle(), QStringLiteral("Information"));
  }
}

TEST(Editing, ARefusedValueIsNotReported) {
  TempHome home;
  korvane::sim::SimDescription description = OneConfigurableCamera(Control(0, 255, 1, 128));
  description.devices[0].faults["IAMVideoProcAmp::Set#0"] = kFail;
  Session session(description);
  ModalAnswerer errors(QStringLiteral("ApplicationErrorBox"), ClickOk);
  ModalAnswerer messages(QStringLiteral("MessageForm"), ClickButton1);
  auto* trackBar = session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"));
  trackBar->SetValue(140);
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"))->text(),
            QStringLiteral("140"));
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 128);
  QCoreApplication::processEvents();
  EXPECT_TRUE(errors.Texts().isEmpty());
  EXPECT_TRUE(messages.Texts().isEmpty());
}
