// What starting the window must not spend time on.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "tests/ui/UiTestSupport.h"
#include "ui/Artwork.h"
#include "ui/MessageUnit.h"

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

// Style sheets are costly to set up, so the controls dressed by one are dressed only when first
// shown; they must never come up undressed.
TEST(Startup, ControlsDressedByStyleSheetsAreDressedWhenTheyFirstShow) {
  TempHome home;
  korvane::sim::SimDescription cameras;
  cameras.devices = {Camera("Cam")};
  Session session(cameras);
  TFormMain& form = session.Form();
  form.show();
  TMessageForm& message = *form.GetMessageForm();
  EXPECT_TRUE(message.Button1->styleSheet().isEmpty());
  EXPECT_TRUE(form.BackButton->styleSheet().isEmpty());

  QStringList shownSheets;
  {
    ModalAnswerer answer(QStringLiteral("MessageForm"), [&shownSheets](QWidget& shown) {
      auto& dialog = static_cast<TMessageForm&>(shown);
      shownSheets = {dialog.Label1->styleSheet(), dialog.Button1->styleSheet(),
                     dialog.Button2->styleSheet()};
      ClickButton1(shown);
    });
    EXPECT_TRUE(form.MessageDlgSimple(QStringLiteral("Reset settings for Cam")));
  }
  ASSERT_EQ(shownSheets.size(), 3);
  for (const QString& sheet : shownSheets) EXPECT_TRUE(sheet.contains(QStringLiteral("white")));

  form.resize(250, form.height());
  ASSERT_TRUE(form.BackButton->isVisible());
  EXPECT_TRUE(form.BackButton->styleSheet().contains(QStringLiteral("#424280")));
}
