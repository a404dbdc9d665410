// The camera list: heights, the selection rules after a device refresh, and what the
// window shows when no camera is selected.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QTest>

#include "tests/ui/UiTestSupport.h"
#include "ui/ListBox.h"
#include "widgets/ButtonImage.h"
#include "widgets/MonochromeEffect.h"
#include "widgets/TrackBar.h"

using namespace uitest;

namespace {

korvane::sim::SimDescription Cameras(int count) {
  korvane::sim::SimDescription description;
  for (int i = 0; i < count; ++i) {
    korvane::sim::SimDevice device = Camera("Cam " + std::to_string(i));
    device.videoProcAmp[kBrightness] = Control(0, 255, 1, 100 + i);
    description.devices.push_back(device);
  }
  return description;
}

bool ActionButtonsEnabled(Session& session) {
  bool all = true;
  for (const char* name : {"ButtonRead", "ButtonWrite", "ButtonDefaultValues", "ButtonWindows"}) {
    all = all && session.Find<TButtonImage>(QLatin1String(name))->isEnabled();
  }
  return all;
}

}  // namespace

TEST(CameraList, HeightAndSelectionFollowTheNumberOfCameras) {
  struct Case {
    int cameras;
    int height;
    int selected;
  };
  for (const Case& c : {Case{0, 2, -1}, Case{1, 46, -1}, Case{2, 90, 0}, Case{3, 134, 0},
                        Case{4, 178, 0}, Case{5, 222, 0}, Case{6, 222, 0}}) {
    SCOPED_TRACE(c.cameras);
    TempHome home;
    Session session(Cameras(c.cameras));
    auto* list = session.Find<TListBox>(QStringLiteral("ComboBoxCamera"));
    ASSERT_EQ(list->Count(), c.cameras);
    EXPECT_EQ(list->GetHeight(), c.height);
    EXPECT_EQ(list->height(), c.height);
    EXPECT_EQ(list->GetItemIndex(), c.selected);
    if (c.cameras > 0) {
      EXPECT_EQ(list->ItemText(0), QStringLiteral("Cam 0"));
    }
    const bool selected = c.selected >= 0;
    EXPECT_EQ(session.Form().GetCamera().GetDeviceName(), selected ? "Cam 0" : "");
    EXPECT_EQ(ActionButtonsEnabled(session), selected);
    EXPECT_EQ(session.Find<QLabel>(QStringLiteral("SupportLabel"))->text(),
              selected ? QStringLiteral("Camera configurable")
                       : QStringLiteral("Camera not configurable"));
    EXPECT_EQ(session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"))->isEnabled(), selected);
  }
}

TEST(CameraList, ASingleCameraIsReadOnlyWhenTheUserSelectsIt) {
  TempHome home;
  Session session(Cameras(1));
  auto* monochrome =
      session.Form().findChild<TMonochromeEffect*>(QStringLiteral("LayoutBrightnessMonochrome"));
  EXPECT_TRUE(monochrome->isEnabled());
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"))->text(),
            QStringLiteral(" "));

  session.ClickCamera(0);
  EXPECT_EQ(session.Form().GetCamera().GetDeviceName(), "Cam 0");
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"))->text(),
            QStringLiteral("100"));
  EXPECT_FALSE(monochrome->isEnabled());
  EXPECT_EQ(session.Form().GetSupportStatus(), 2);
  EXPECT_TRUE(ActionButtonsEnabled(session));
}

TEST(CameraList, TheUserCannotLeaveTheListWithoutACamera) {
  TempHome home;
  Session session(Cameras(2));
  auto* list = session.Find<TListBox>(QStringLiteral("ComboBoxCamera"));
  session.ClickCamera(1);
  ASSERT_EQ(list->GetItemIndex(), 1);
  const QPoint selected = list->visualItemRect(list->item(1)).center();
  const QPoint empty(list->viewport()->width() / 2, list->viewport()->height() - 1);
  ASSERT_EQ(list->itemAt(empty), nullptr) << "the list leaves room below its items";
  list->setFocus();
  // Ctrl and a click, Ctrl and Space on the selected camera, a click below the items.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, selected);
  QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, empty);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, empty);
  EXPECT_EQ(list->GetItemIndex(), 1);
  EXPECT_EQ(session.Form().GetCamera().GetDeviceName(), "Cam 1");
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"))->text(),
            QStringLiteral("101"));
  // Choosing another camera still works.
  session.ClickCamera(0);
  EXPECT_EQ(session.Form().GetCamera().GetDeviceName(), "Cam 0");
}

TEST(CameraList, ARefreshSelectsTheFirstOfSeveralCamerasAgain) {
  TempHome home;
  Session session(Cameras(3));
  auto* list = session.Find<TListBox>(QStringLiteral("ComboBoxCamera"));
  session.ClickCamera(2);
  ASSERT_EQ(list->GetItemIndex(), 2);
  EXPECT_EQ(session.Form().GetCamera().GetDeviceName(), "Cam 2");
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"))->text(),
            QStringLiteral("102"));

  QTest::mouseClick(session.Form().LogoImage, Qt::LeftButton);
  EXPECT_EQ(list->GetItemIndex(), 0);
  EXPECT_EQ(session.Form().GetCamera().GetDeviceName(), "Cam 0");
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"))->text(),
            QStringLiteral("100"));
}

TEST(CameraList, DuplicateNamesAreAllListedAndTheFirstIsFoundAgain) {
  TempHome home;
  korvane::sim::SimDescription description = Cameras(1);
  korvane::sim::SimDevice twin = Camera("Cam 0");
  twin.devicePath = "sim://twin";
  twin.videoProcAmp[kBrightness] = Control(0, 255, 1, 7);
  description.devices.push_back(twin);
  description.devices.push_back(Camera("Other"));
  Session session(description);
  auto* list = session.Find<TListBox>(QStringLiteral("ComboBoxCamera"));
  ASSERT_EQ(list->Count(), 3);
  EXPECT_EQ(list->ItemText(1), QStringLiteral("Cam 0"));

  // Selecting the second "Cam 0" by name reaches the first device of that name.
  session.ClickCamera(1);
  EXPECT_EQ(list->GetItemIndex(), 1);
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"))->text(),
            QStringLiteral("100"));
}

TEST(CameraList, AnUnpluggedSelectedCameraDisappearsOnTheNextRefresh) {
  TempHome home;
  Session session(Cameras(1));
  session.ClickCamera(0);
  session.Store().Modify([](korvane::sim::SimDescription& d) { d.devices[0].absent = true; });
  QTest::mouseClick(session.Form().LogoImage, Qt::LeftButton);
  auto* list = session.Find<TListBox>(QStringLiteral("ComboBoxCamera"));
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->GetHeight(), 2);
  EXPECT_EQ(session.Form().GetCamera().GetDeviceName(), "");
  EXPECT_FALSE(ActionButtonsEnabled(session));
  EXPECT_FALSE(session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"))->isEnabled());
  // The texts of the last camera stay until another camera is read.
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("SupportLabel"))->text(),
            QStringLiteral("Camera configurable"));
}
