// What starting the window must not spend time on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <vector>

#include "tests/ui/UiTestSupport.h"
#include "ui/Artwork.h"
#include "ui/MessageUnit.h"
#include "widgets/Look.h"
#include "widgets/MonochromeEffect.h"
#include "widgets/TrackBar.h"

using namespace uitest;

TEST(Startup, TheWindowsPicturesAreAllRenderedAheadForItsScreen) {
  TempHome home;
  korvane::sim::SimDescription cameras;
  cameras.devices = {Camera("Cam")};
  Session session(cameras);
  session.Form().show();
  // Also run at scale 2 (a high-density screen), for which the pictures are rendered ahead
  // as well; the run must really be at that scale.
  if (const QByteArray scale = qgetenv("QT_SCALE_FACTOR"); !scale.isEmpty()) {
    EXPECT_EQ(qGuiApp->devicePixelRatio(), scale.toDouble());
  }
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

// The window is built in one look batch. An unreadable first camera brings up its error
// while the window is not on screen yet, and the window then comes up as for any camera that
// cannot be read.
TEST(Startup, AnUnreadableFirstCameraIsReportedBeforeTheWindowShowsAndLeavesItsRowsGreyed) {
  TempHome home;
  App();  // the answerer's timer needs the application
  korvane::sim::SimDevice broken = Camera("Broken");
  broken.faults["IMoniker::BindToObject"] = static_cast<HRESULT>(0x80070005);
  korvane::sim::SimDescription cameras;
  cameras.devices = {broken, Camera("Working")};
  std::vector<bool> windowShown;
  ModalAnswerer errors(QStringLiteral("ApplicationErrorBox"), [&windowShown](QWidget& box) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window->objectName() == QLatin1String("FormMain")) {
        windowShown.push_back(window->isVisible());
      }
    }
    ClickOk(box);
  });
  Session session(cameras);
  ASSERT_FALSE(errors.Texts().isEmpty());
  EXPECT_EQ(windowShown, std::vector<bool>(errors.Texts().size(), false));
  EXPECT_FALSE(Look::InBatch());
  session.Form().show();
  for (const TPropertyRowControls& row : session.Form().GetRows()) {
    EXPECT_TRUE(row.Monochrome->isEnabled()) << row.Row->Name;
    EXPECT_FALSE(row.TrackBar->isEnabled()) << row.Row->Name;
  }
}
