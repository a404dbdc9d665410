// The width rule: the window keeps its height and sheds columns as it gets narrower.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "tests/ui/UiTestSupport.h"
#include "widgets/TrackBar.h"

using namespace uitest;

namespace {
korvane::sim::SimDescription OneCamera() {
  korvane::sim::SimDescription description;
  description.devices = {Camera("Cam")};
  return description;
}
}  // namespace

TEST(Layout, WidthThresholdsShowAndHideTheColumns) {
  struct Case {
    int width;
    bool leftColumn, checkBoxes, values, names;
  };
  const Case cases[] = {
      {299, false, false, false, false}, {300, true, false, false, false},
      {449, true, false, false, false},  {450, true, true, false, false},
      {500, true, true, false, false},   {549, true, true, false, false},
      {550, true, true, true, false},    {600, true, true, true, false},
      {649, true, true, true, false},    {650, true, true, true, true},
      {900, true, true, true, true},
  };
  TempHome home;
  Session session(OneCamera());
  TFormMain& form = session.Form();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    form.resize(c.width, form.height());
    ASSERT_EQ(form.width(), c.width);
    EXPECT_EQ(form.LayoutListe->isVisible(), c.leftColumn);
    EXPECT_EQ(form.MessagePanel->isVisible(), c.leftColumn);
    EXPECT_EQ(form.BackButton->isVisible(), !c.leftColumn);
    for (const TPropertyRowControls& row : form.GetRows()) {
      EXPECT_EQ(row.CheckBox->isVisible(), c.checkBoxes) << row.Row->Name;
      EXPECT_EQ(row.ValueColumn->isVisible(), c.values) << row.Row->Name;
      EXPECT_EQ(row.Label->isVisible(), c.names) << row.Row->Name;
      EXPECT_TRUE(row.TrackBar->isVisible()) << row.Row->Name;
    }
  }
}

TEST(Layout, BackToFullRestoresAUsableWidthAndTheHeightStaysFixed) {
  TempHome home;
  Session session(OneCamera());
  TFormMain& form = session.Form();
  form.resize(250, 600);
  EXPECT_EQ(form.height(), TFormMain::kFixedHeight);
  ASSERT_TRUE(form.BackButton->isVisible());
  QTest::mouseClick(form.BackButton, Qt::LeftButton);
  EXPECT_EQ(form.width(), TFormMain::kBackToFullWidth);
  EXPECT_TRUE(form.LayoutListe->isVisible());
  EXPECT_FALSE(form.BackButton->isVisible());
  EXPECT_TRUE(form.GetRows().front().Label->isVisible());
}

TEST(Layout, RowsStandInTheirScreenOrderAndTheInventoryIsNamed) {
  TempHome home;
  Session session(OneCamera());
  TFormMain& form = session.Form();
  const char* screenOrder[] = {
      "Exposure",   "Gain",        "WhiteBalance", "Focus",     "Zoom",
      "Brightness", "Saturation",  "Contrast",     "Sharpness", "BacklightCompensation",
      "Gamma",      "ColorEnable", "Hue",          "Iris",      "Roll",
      "Tilt",       "Pan"};
  int previousTop = -1;
  for (const char* name : screenOrder) {
    QWidget* row = session.Find<QWidget>(QStringLiteral("Layout") + QLatin1String(name));
    ASSERT_NE(row, nullptr) << name;
    EXPECT_EQ(row->height(), 35) << name;
    EXPECT_GT(row->y(), previousTop) << name;
    previousTop = row->y();
  }
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelZoom"))->text(),
            QStringLiteral("Zoom (+/-)"));
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelTilt"))->text(),
            QStringLiteral("Tilt (\u2195)"));
  EXPECT_EQ(form.LayoutListe->width(), 260);
  EXPECT_EQ(form.MessagePanel->height(), 24);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Korvane Cam Settings Tool V1.7"));
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  for (const char* name : {"ButtonRead",      "ButtonWrite",
                           "ButtonWindows",   "ButtonDefaultValues",
                           "ComboBoxCamera",  "ComboBoxFrequency",
                           "ComboBoxFormat",  "KeepSynced",
                           "LayoutFrequency", "LayoutButtonTestCam",
                           "MasterColor",     "StatusPanelColor",
                           "StatusLabel",     "MessageLabel",
                           "SupportLabel",    "Memo1",
                           "ColorDarkest",    "Hiddenfunctions",
                           "Webcam",          "herz",
                           "res_1080",        "PaintBox",
                           "Layout7",         "Layout20"}) {
    EXPECT_NE(session.Find<QWidget>(QLatin1String(name)), nullptr) << name;
  }
  EXPECT_TRUE(form.KeepSynced->isChecked());
  EXPECT_FALSE(form.KeepSynced->isVisibleTo(&form));
  EXPECT_FALSE(form.Hiddenfunctions->isVisibleTo(&form));
  EXPECT_EQ(form.GetFill(), QColor(0x18, 0x18, 0x3E));
}
