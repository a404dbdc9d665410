// The refresh timer: rows follow the device, an unplugged camera leads to a rebuilt list,
// the focus comes back, a camera test on screen is left alone, and the trace of one tick.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include "tests/ui/ActionTestSupport.h"
#include "ui/ListBox.h"
#include "widgets/TrackBar.h"

using namespace uitest;

namespace {

QString BrightnessText(TFormMain& form) {
  return form.findChild<QLabel*>(QStringLiteral("LabelBrightnessValue"))->text();
}

}  // namespace

TEST(RefreshTimer, AValueChangedByAnotherProcessShowsOnTheNextTick) {
  TempHome home;
  FileSession session(TwoAdjustableCameras());
  TFormMain& form = session.Form();
  ASSERT_EQ(BrightnessText(form), QStringLiteral("128"));
  EXPECT_EQ(form.RefreshTimer->interval(), 5000);
  EXPECT_TRUE(form.RefreshTimer->isActive());
  session.ChangeElsewhere(
      [](korvane::sim::SimDescription& d) { d.devices[0].videoProcAmp[kBrightness].value = 200; });
  form.RefreshTimer->setInterval(20);
  EXPECT_TRUE(QTest::qWaitFor([&] { return BrightnessText(form) == QStringLiteral("200"); }));
}

TEST(RefreshTimer, AnUnpluggedCameraLeadsToTheRebuiltListWithTheFirstCameraSelected) {
  TempHome home;
  korvane::sim::SimDescription cameras = TwoAdjustableCameras();
  cameras.devices.push_back(AdjustableCamera("Cam C"));
  cameras.devices[0].videoProcAmp[kBrightness].value = 1;
  FileSession session(cameras, {QStringLiteral("trace")});
  TFormMain& form = session.Form();
  form.ComboBoxCamera->SetItemIndex(1);
  ASSERT_EQ(form.GetCamera().GetDeviceName(), "Cam B");
  session.ChangeElsewhere([](korvane::sim::SimDescription& d) { d.devices[1].absent = true; });

  ModalAnswerer errors(QStringLiteral("ApplicationErrorBox"), ClickOk);
  form.Memo1->clear();
  form.RefreshTimerTimer();
  EXPECT_EQ(form.ComboBoxCamera->Count(), 2);
  EXPECT_EQ(form.ComboBoxCamera->ItemText(1), QStringLiteral("Cam C"));
  EXPECT_EQ(form.ComboBoxCamera->GetItemIndex(), 0);
  EXPECT_EQ(form.GetCamera().GetDeviceName(), "Cam A");
  EXPECT_EQ(BrightnessText(form), QStringLiteral("1"));
  EXPECT_TRUE(errors.Texts().isEmpty());
  EXPECT_TRUE(InOrder(
      form.Memo1->toPlainText().split(QLatin1Char('\n')),
      {QStringLiteral(" Attempting re-read of camera settings"),
       QStringLiteral(" Re-read of camera settings NOT successful - now refreshing devices"),
       QStringLiteral("  Attempting to refresh devices"),
       QStringLiteral("  Refresh devices successful"),
       QStringLiteral("RefreshTimer routine successful")}));
}

TEST(RefreshTimer, TheFocusReturnsToTheTrackBarThatHadIt) {
  TempHome home;
  Session session(TwoAdjustableCameras());
  TFormMain& form = session.Form();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  auto* zoom = session.Find<TTrackBar>(QStringLiteral("TrackBarZoom"));
  zoom->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), zoom);

  form.RefreshTimerTimer();
  EXPECT_EQ(form.GetLastFocussedControl(), zoom);
  // The re-read took the focus away; it comes back once the window serves queued calls.
  EXPECT_NE(QApplication::focusWidget(), zoom);
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == zoom; }));
  QTest::keyClick(zoom, Qt::Key_Right);
  EXPECT_EQ(session.CameraControl(0, kZoom).value, 110);
}

TEST(RefreshTimer, AWindowClosedWhileAFocusChangeIsPendingEndsAtOnce) {
  TempHome home;
  auto session = std::make_unique<Session>(TwoAdjustableCameras());
  for (int i = 0; i < 5; ++i) {
    session->Form().SetTheControl(session->Find<TTrackBar>(QStringLiteral("TrackBarBrightness")));
  }
  session.reset();  // would hang if a thread waited on the window forever
  SUCCEED();
}

TEST(RefreshTimer, ATickWhileTheCameraTestIsOnScreenOnlyLogsItsStart) {
  TempHome home;
  Session session(TwoAdjustableCameras(), {QStringLiteral("trace")});
  TFormMain& form = session.Form();
  form.GetLivecamForm()->show();
  ASSERT_EQ(form.GetLivecamForm()->GetTag(), 1);
  session.Store().Modify(
      [](korvane::sim::SimDescription& d) { d.devices[0].videoProcAmp[kBrightness].value = 7; });
  session.Store().ResetCallCounts();
  form.Memo1->clear();
  form.RefreshTimerTimer();
  EXPECT_EQ(session.TraceLines(),
            (QStringList{QStringLiteral(" "), QStringLiteral("RefreshTimer routine entered")}));
  EXPECT_EQ(session.Store().CallCount("IAMVideoProcAmp::Get"), 0u);
  EXPECT_EQ(BrightnessText(form), QStringLiteral("128"));

  form.GetLivecamForm()->hide();
  form.RefreshTimerTimer();
  EXPECT_EQ(BrightnessText(form), QStringLiteral("7"));
}

TEST(RefreshTimer, TheTraceOfOneTick) {
  TempHome home;
  Session session(TwoAdjustableCameras(), {QStringLiteral("trace")});
  TFormMain& form = session.Form();
  session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"))->setFocus();
  form.Memo1->clear();
  form.RefreshTimerTimer();
  const QStringList lines = session.TraceLines();
  const QStringList start = {
      QStringLiteral(" "),
      QStringLiteral("RefreshTimer routine entered"),
      QStringLiteral(" Determining LastFocussedControl"),
      QStringLiteral("Aktives Control: TTrackBar und auch TrackBarBrightness"),
      QStringLiteral(" Determine LastFocussedControl successful"),
      QStringLiteral(" Determining LastResolutionIndex"),
      QStringLiteral("Timer event, ComboBoxFormat.ItemIndex=0"),
      QStringLiteral(" Determine successful"),
      QStringLiteral(" Attempting re-read of camera settings"),
      QStringLiteral("ComboBoxCameraChange started"),
  };
  ASSERT_GT(lines.size(), start.size() + 2);
  EXPECT_EQ(lines.mid(0, start.size()), start);
  EXPECT_EQ(lines.mid(lines.size() - 3),
            (QStringList{QStringLiteral("ComboBoxCameraChange done"),
                         QStringLiteral(" Re-read of camera settings successful"),
                         QStringLiteral("RefreshTimer routine successful")}));
}
