// The width rule: the window keeps its height and sheds columns as it gets narrower.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "tests/ui/UiTestSupport.h"
#include "ui/MessagePanelLayout.h"
#include "ui/Rectangle.h"
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
  for (const char* name : {"ButtonRead",
                           "ButtonWrite",
                           "ButtonWindows",
                           "ButtonDefaultValues",
                           "ComboBoxCamera",
                           "ComboBoxFrequency",
                           "ComboBoxFormat",
                           "KeepSynced",
                           "LayoutFrequency",
                           "LayoutButtonTestCam",
                           "MasterColor",
                           "StatusPanelColor",
                           "StatusLabel",
                           "MessageLabel",
                           "SupportLabel",
                           "ColorDarkest",
                           "Hiddenfunctions",
                           "Webcam",
                           "herz",
                           "res_1080",
                           "PaintBox",
                           "Layout7",
                           "Layout20"}) {
    EXPECT_NE(session.Find<QWidget>(QLatin1String(name)), nullptr) << name;
  }
  EXPECT_TRUE(form.KeepSynced->isChecked());
  EXPECT_FALSE(form.KeepSynced->isVisibleTo(&form));
  EXPECT_FALSE(form.Hiddenfunctions->isVisibleTo(&form));
  EXPECT_EQ(form.GetFill(), QColor(0x18, 0x18, 0x3E));
}

TEST(Layout, TheMessagePanelKeepsItsTextsWholeFromItsNarrowestWidth) {
  TempHome home;
  Session session({});  // no camera: "Camera not configurable"
  TFormMain& form = session.Form();
  form.ShowPanelMessage(QStringLiteral("Factory defaults loaded"));
  form.StatusLabel->setText(QStringLiteral(" "));
  ASSERT_EQ(form.SupportLabel->text(), QStringLiteral("Camera not configurable"));
  for (const int width : {300, 350, 400, 462, 463, 670, 1000}) {
    SCOPED_TRACE(width);
    form.resize(width, form.height());
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.MessagePanel->width() == width; }));
    form.StatusPanelColor->layout()->activate();
    QApplication::processEvents();
    int previousRight = TMessagePanelLayout::kMargin;
    for (QLabel* label : {form.StatusLabel, form.MessageLabel, form.SupportLabel}) {
      SCOPED_TRACE(label->objectName().toStdString());
      const QRect place = label->geometry();
      EXPECT_GE(place.width(), label->fontMetrics().horizontalAdvance(label->text()));
      EXPECT_EQ(place.left(), previousRight);  // side by side, no overlap
      previousRight = place.left() + place.width();
    }
    // The support text is right-aligned and ends at the right margin.
    EXPECT_EQ(previousRight, width - TMessagePanelLayout::kMargin);
    if (width >= 670) {  // room for all three at their own widths
      EXPECT_EQ(form.StatusLabel->width(), 68);
      EXPECT_EQ(form.SupportLabel->width(), 385);
    }
  }
}
