// Factory defaults: the question, the per-property guard, the Auto states and the messages.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>

#include "tests/ui/ActionTestSupport.h"
#include "ui/ListBox.h"

using namespace uitest;

TEST(FactoryDefaults, ACameraWithoutAdjustablePropertiesIsNotAsked) {
  korvane::sim::SimDevice noFormats = Camera("No formats");
  noFormats.formats.clear();
  for (const auto& [camera, status] :
       {std::pair{noFormats, 0}, std::pair{Camera("Formats only"), 1}}) {
    SCOPED_TRACE(status);
    TempHome home;
    korvane::sim::SimDescription description;
    description.devices = {camera, AdjustableCamera("Spare")};
    Session session(description);
    TFormMain& form = session.Form();
    ASSERT_EQ(form.GetSupportStatus(), status);
    ModalAnswerer question(QStringLiteral("MessageForm"), ClickButton1);
    form.ButtonDefaultValuesClick();
    EXPECT_TRUE(question.Texts().isEmpty());
    EXPECT_EQ(form.MessageLabel->text(),
              QString::fromStdString(*camera.friendlyName) +
                  QStringLiteral(" does not support setting default values"));
  }
}

TEST(FactoryDefaults, AnsweringNoChangesNothing) {
  TempHome home;
  Session session(TwoAdjustableCameras());
  TFormMain& form = session.Form();
  session.Store().ResetCallCounts();
  {
    ModalAnswerer no(QStringLiteral("MessageForm"), ClickButton2);
    Click(form.ButtonDefaultValues);
    EXPECT_EQ(no.Texts(), QStringList{QStringLiteral("Reset settings for Cam A")});
  }
  EXPECT_EQ(form.MessageLabel->text(), QStringLiteral("Nothing changed"));
  EXPECT_EQ(session.Store().CallCount("IAMVideoProcAmp::Set"), 0u);
  EXPECT_EQ(session.Store().CallCount("IAMCameraControl::Set"), 0u);
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 128);
}

TEST(FactoryDefaults, EveryOtherPropertyIsResetWhenOneFailsAndAutoStays) {
  TempHome home;
  korvane::sim::SimDescription cameras = TwoAdjustableCameras();
  cameras.devices[0].faults["IAMVideoProcAmp::Set#0"] = E_FAIL;  // Brightness
  cameras.devices[0].videoProcAmp[kContrast].flags = 1;          // automatic
  Session session(cameras, {QStringLiteral("trace")});
  TFormMain& form = session.Form();
  form.Memo1->clear();
  {
    ModalAnswerer yes(QStringLiteral("MessageForm"), ClickButton1);
    Click(form.ButtonDefaultValues);
  }
  EXPECT_EQ(session.VideoProcAmp(0, kBrightness).value, 128);
  EXPECT_EQ(session.VideoProcAmp(0, kContrast).value, 40);
  EXPECT_EQ(session.VideoProcAmp(0, kContrast).flags, 1);
  EXPECT_TRUE(session.Find<QCheckBox>(QStringLiteral("CheckBoxContrast"))->isChecked());
  EXPECT_EQ(session.CameraControl(0, kZoom).value, 200);
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelZoomValue"))->text(), QStringLiteral("200"));
  EXPECT_EQ(session.VideoProcAmp(0, kPowerLine).value, 1) << "the frequency is not reset";
  EXPECT_EQ(form.MessageLabel->text(), QStringLiteral("Factory defaults loaded"));
  EXPECT_EQ(form.StatusLabel->text(), QString());
  EXPECT_TRUE(InOrder(
      session.TraceLines(),
      {QStringLiteral("ButtonDefaultValuesClick Step 01"),
       QStringLiteral("ButtonDefaultValuesClick Step 02"),
       QStringLiteral("ButtonDefaultValuesClick - calling SetTrackBars"),
       QStringLiteral("SetTrackBars entered"), QStringLiteral("### Returned from SetTrackBars"),
       QStringLiteral("### und weiter"), QStringLiteral("ButtonDefaultValuesClick Step 03"),
       QStringLiteral(" ButtonDefaultValuesClick Step 04")}))
      << session.TraceLines().join(QLatin1Char('|')).toStdString();
}
