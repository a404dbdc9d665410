// The property rows: how a camera's range, value and mode show in a row, and the support
// status that follows from the rows.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <limits>

#include "tests/ui/UiTestSupport.h"
#include "ui/ListBox.h"
#include "widgets/ButtonImage.h"
#include "widgets/MonochromeEffect.h"
#include "widgets/TrackBar.h"

using namespace uitest;

namespace {

struct RowView {
  TTrackBar* trackBar;
  QLabel* value;
  QCheckBox* checkBox;
  QLabel* caption;
  TMonochromeEffect* monochrome;
};

RowView Row(Session& session, const QString& property) {
  return {session.Find<TTrackBar>(QStringLiteral("TrackBar") + property),
          session.Find<QLabel>(QStringLiteral("Label%1Value").arg(property)),
          session.Find<QCheckBox>(QStringLiteral("CheckBox") + property),
          session.Find<QLabel>(QStringLiteral("Label") + property),
          session.Form().findChild<TMonochromeEffect*>(
              QStringLiteral("Layout%1Monochrome").arg(property))};
}

// The colour a label's text is drawn in, for its present enabled state.
QColor DrawnTextColour(const QWidget* widget) {
  return widget->palette().color(widget->isEnabled() ? QPalette::Active : QPalette::Disabled,
                                 QPalette::WindowText);
}

// Two cameras, so that the first is read at start-up.
korvane::sim::SimDescription TwoCameras(korvane::sim::SimDevice first) {
  korvane::sim::SimDescription description;
  description.devices = {std::move(first), Camera("Spare")};
  return description;
}

}  // namespace

TEST(PropertyRows, ShowTheRangeValueAndModeOfTheCamera) {
  struct Case {
    const char* name;
    korvane::sim::SimControl control;
    double min, max, value;
    const char* text;
    bool trackBarEnabled, checkBoxEnabled, ticked;
  };
  const Case cases[] = {
      {"0..255 manual", Control(0, 255, 1, 128, 3, 2), 0, 255, 128, "128", true, true, false},
      {"manual only", Control(0, 255, 1, 128, 2, 2), 0, 255, 128, "128", true, false, false},
      {"-13..-1 auto", Control(-13, -1, 1, -6, 3, 1), -13, -1, -6, "-6", false, true, true},
      {"step 5, value 7", Control(0, 250, 5, 7), 0, 250, 5, "5", true, true, false},
      {"step 5, maximum 254", Control(0, 254, 5, 254), 0, 254, 254, "254", true, true, false},
      {"maximum below minimum", Control(10, 5, 1, 7), 10, 10, 10, "10", true, true, false},
      {"auto only", Control(0, 100, 1, 40, 1, 1), 0, 100, 40, "40", false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempHome home;
    korvane::sim::SimDevice camera = Camera("Cam");
    camera.videoProcAmp[kBrightness] = c.control;
    Session session(TwoCameras(camera));
    const RowView row = Row(session, QStringLiteral("Brightness"));
    EXPECT_EQ(row.trackBar->Min(), c.min);
    EXPECT_EQ(row.trackBar->Max(), c.max);
    EXPECT_EQ(row.trackBar->Value(), c.value);
    EXPECT_EQ(row.value->text(), QLatin1String(c.text));
    EXPECT_EQ(row.trackBar->isEnabled(), c.trackBarEnabled);
    EXPECT_EQ(row.checkBox->isEnabled(), c.checkBoxEnabled);
    EXPECT_EQ(row.checkBox->isChecked(), c.ticked);
    EXPECT_TRUE(row.caption->isEnabled());
    EXPECT_FALSE(row.monochrome->isEnabled());
    EXPECT_EQ(DrawnTextColour(row.caption), QColor(Qt::black));
    // Filling the rows never writes to the camera.
    EXPECT_EQ(session.Store().CallCount("IAMVideoProcAmp::Set"), 0u);
  }
}

TEST(PropertyRows, UnsupportedRowsStayGreyAndOneSupportedRowMakesTheCameraConfigurable) {
  TempHome home;
  korvane::sim::SimDevice camera = Camera("Exposure only");
  camera.cameraControl[kExposure] = Control(-13, -1, 1, -6);
  Session session(TwoCameras(camera));
  EXPECT_EQ(session.Form().GetSupportStatus(), 2);
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("SupportLabel"))->text(),
            QStringLiteral("Camera configurable"));
  const RowView exposure = Row(session, QStringLiteral("Exposure"));
  EXPECT_TRUE(exposure.trackBar->isEnabled());
  EXPECT_FALSE(exposure.monochrome->isEnabled());
  for (const TPropertyRow& property : kPropertyRows) {
    if (std::string_view(property.Name) == "Exposure") continue;
    SCOPED_TRACE(property.Name);
    const RowView row = Row(session, QLatin1String(property.Name));
    EXPECT_FALSE(row.trackBar->isEnabled());
    EXPECT_FALSE(row.checkBox->isEnabled());
    EXPECT_FALSE(row.caption->isEnabled());
    EXPECT_TRUE(row.monochrome->isEnabled());
    EXPECT_EQ(row.value->text(), QStringLiteral(" "));
    EXPECT_EQ(DrawnTextColour(row.caption), QColor(0x80, 0x80, 0x80));
  }
}

TEST(PropertyRows, SwitchingCamerasReadsEveryRowAfresh) {
  TempHome home;
  korvane::sim::SimDevice automatic = Camera("Auto cam");
  automatic.videoProcAmp[kBrightness] = Control(0, 255, 1, 90, 3, 1);
  automatic.videoProcAmp[kGain] = Control(0, 100, 1, 10);
  korvane::sim::SimDevice manual = Camera("Manual cam");
  manual.videoProcAmp[kBrightness] = Control(0, 255, 1, 200, 3, 2);
  korvane::sim::SimDescription description;
  description.devices = {automatic, manual};
  Session session(description);
  RowView brightness = Row(session, QStringLiteral("Brightness"));
  ASSERT_FALSE(brightness.trackBar->isEnabled());
  ASSERT_TRUE(Row(session, QStringLiteral("Gain")).trackBar->isEnabled());

  session.ClickCamera(1);
  EXPECT_TRUE(brightness.trackBar->isEnabled());
  EXPECT_FALSE(brightness.checkBox->isChecked());
  EXPECT_EQ(brightness.value->text(), QStringLiteral("200"));
  // The gain of the first camera does not linger on the second.
  const RowView gain = Row(session, QStringLiteral("Gain"));
  EXPECT_FALSE(gain.trackBar->isEnabled());
  EXPECT_EQ(gain.value->text(), QStringLiteral(" "));
  EXPECT_EQ(session.Store().CallCount("IAMVideoProcAmp::Set"), 0u);
}

TEST(SupportStatus, FollowsTheSelectedCamera) {
  TempHome home;
  korvane::sim::SimDevice configurable = Camera("Configurable");
  configurable.videoProcAmp[kBrightness] = Control(0, 255, 1, 128);
  korvane::sim::SimDevice formatsOnly = Camera("Formats only");
  korvane::sim::SimDevice noFormats = Camera("No formats");
  noFormats.formats.clear();
  korvane::sim::SimDescription description;
  description.devices = {configurable, formatsOnly, noFormats};
  Session session(description);
  TFormMain& form = session.Form();
  auto* support = session.Find<QLabel>(QStringLiteral("SupportLabel"));
  auto* caption = session.Find<QLabel>(QStringLiteral("cameratestlabel"));
  const auto buttonsEnabled = [&] {
    return form.ButtonRead->isEnabled() && form.ButtonWrite->isEnabled() &&
           form.ButtonDefaultValues->isEnabled() && form.ButtonWindows->isEnabled();
  };
  const auto buttonsDisabled = [&] {
    return !form.ButtonRead->isEnabled() && !form.ButtonWrite->isEnabled() &&
           !form.ButtonDefaultValues->isEnabled() && !form.ButtonWindows->isEnabled();
  };

  EXPECT_EQ(form.GetSupportStatus(), 2);
  EXPECT_EQ(support->text(), QStringLiteral("Camera configurable"));
  EXPECT_TRUE(buttonsEnabled());
  EXPECT_FALSE(form.MonochromeEffect->isEnabled());
  const QString configurableCaption = QStringLiteral(
      "Click camera icon to test Configurable\r\n with resolution: 640x480 30Hz 16bpp");
  EXPECT_EQ(caption->text(), configurableCaption);

  session.ClickCamera(1);
  EXPECT_EQ(form.GetSupportStatus(), 1);
  EXPECT_EQ(support->text(), QStringLiteral("Camera not configurable"));
  EXPECT_TRUE(buttonsDisabled());
  EXPECT_TRUE(form.ButtonTestCam->isEnabled());
  EXPECT_TRUE(form.MonochromeEffect->isEnabled());
  EXPECT_EQ(caption->text(),
            QStringLiteral(
                "Click camera icon to test Formats only\r\n with resolution: 640x480 30Hz 16bpp"));

  session.ClickCamera(0);
  session.ClickCamera(2);
  EXPECT_EQ(form.GetSupportStatus(), 0);
  EXPECT_EQ(support->text(), QStringLiteral("Camera not configurable"));
  EXPECT_TRUE(buttonsDisabled());
  EXPECT_FALSE(form.ButtonTestCam->isEnabled());
  EXPECT_TRUE(form.MonochromeEffect->isEnabled());
  // Emptying the format list ran its change handler while the status was still 2; since
  // then nothing set the caption, and the format text is still the earlier camera's.
  EXPECT_EQ(caption->text(),
            QStringLiteral(
                "Click camera icon to test No formats\r\n with resolution: 640x480 30Hz 16bpp"));
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("StatusLabel"))->text(), QStringLiteral(" "));
  EXPECT_FALSE(form.LayoutButtonTestCam->isVisibleTo(&form));
}

TEST(PropertyRows, TheWidestValuesAreShownWholeInTheirColumn) {
  // Whether any text is drawn in the outermost pixel columns: a cut text runs into both. The
  // top line is background only.
  const auto touchesAnEdge = [](const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
      for (const int x : {0, image.width() - 1}) {
        if (image.pixel(x, y) != image.pixel(x, 0)) return true;
      }
    }
    return false;
  };
  for (const LONG value :
       {std::numeric_limits<LONG>::max(), std::numeric_limits<LONG>::min(), LONG{128}}) {
    SCOPED_TRACE(value);
    TempHome home;
    korvane::sim::SimDevice camera = Camera("Wide");
    camera.videoProcAmp[kBrightness] =
        Control(std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max(), 1, value);
    Session session(TwoCameras(camera));
    const RowView row = Row(session, QStringLiteral("Brightness"));
    ASSERT_EQ(row.value->text(), QString::number(value));
    QWidget* column = row.value->parentWidget();
    ASSERT_EQ(column->width(), 40);
    EXPECT_TRUE(column->rect().contains(row.value->geometry())) << "inside its column";
    EXPECT_FALSE(touchesAnEdge(column->grab().toImage())) << "drawn whole";
  }
}
