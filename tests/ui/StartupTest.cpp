// What starting the window must not spend time on.
#include <gtest/gtest.h>

#include "tests/ui/UiTestSupport.h"
#include "ui/Artwork.h"

using namespace uitest;

TEST(Startup, TheWindowsPicturesAreAllRenderedAheadForItsScreen) {
  TempHome home;
  korvane::sim::SimDescription cameras;
  cameras.devices = {Camera("Cam")};
  Session session(cameras);
  session.Form().show();
  EXPECT_EQ(Artwork::WindowIcon().availableSizes().size(), 4);
  EXPECT_EQ(Artwork::PicturesDrawnFromSvg(), QStringList());
}
