// The window as the camera component's owner and its widgets as preview controls: the
// renderer finds the window's form, takes a widget's rectangle in its window, and losing the
// widget deactivates the component.
#include <gtest/gtest.h>

#include "tests/ui/UiTestSupport.h"
#include "ui/WidgetControl.h"

using namespace uitest;

TEST(Preview, TheWindowOwnsItsComponentSoTheRendererFindsItsForm) {
  TempHome home;
  Session session({{Camera("Desk Cam")}});
  session.ClickCamera(0);
  TFCamera& camera = session.Form().GetCamera();
  camera.SetActive(true);  // ctAuto: the renderer clips to the owner's form
  EXPECT_EQ(camera.GetCaptureType(), ctVmr9);
  camera.SetActive(false);
}

TEST(Preview, AWidgetGivesItsRectangleInItsWindowAndItsLossDeactivates) {
  TempHome home;
  Session session({{Camera("Desk Cam")}});
  session.ClickCamera(0);
  TFCamera& camera = session.Form().GetCamera();
  auto* panel = new QWidget(session.Windows.LivecamForm.get());
  panel->setGeometry(30, 40, 200, 100);
  TWidgetControl preview(panel);
  camera.SetPreviewControl(&preview);
  camera.SetCaptureType(ctVmr9);
  camera.SetActive(true);
  EXPECT_EQ(camera.GetVideoPositionDest(), (TFRect{30, 40, 230, 140}));

  delete panel;
  EXPECT_FALSE(camera.GetActive());
  EXPECT_EQ(camera.GetPreviewControl(), nullptr);
}
