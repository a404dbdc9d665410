// The format list and the power-frequency list, and the error display when a camera
// cannot be read.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <limits>

#include "tests/ui/UiTestSupport.h"
#include "ui/ListBox.h"
#include "ui/ListTexts.h"
#include "widgets/Image.h"

using namespace uitest;

TEST(FormatTexts, RateAndIconFollowTheFormat) {
  struct Case {
    LONG width, height;
    REFERENCE_TIME interval;
    int bits;
    const char* text;
    const char* icon;
  };
  const Case cases[] = {
      {640, 480, 333333, 24, "640x480 30Hz 24bpp", "res_vga"},
      {640, 480, 333667, 16, "640x480 29Hz 16bpp", "res_vga"},
      {720, 576, 400000, 16, "720x576 25Hz 16bpp", "res_pal"},
      {640, 480, 0, 24, "640x480 24bpp", "res_vga"},
      {1280, 1024, 333333, 12, "1280x1024 30Hz 12bpp", "res_1080"},
      {1280, 720, 333333, 16, "1280x720 30Hz 16bpp", "res_720"},
      {1280, 721, 333333, 16, "1280x721 30Hz 16bpp", "res_1080"},
      {720, 480, 333333, 16, "720x480 30Hz 16bpp", "res_vga"},
      {720, 500, 333333, 16, "720x500 30Hz 16bpp", "res_vga"},
      {720, 501, 333333, 16, "720x501 30Hz 16bpp", "res_pal"},
      {320, 240, 666666, 16, "320x240 15Hz 16bpp", "res_ega"},
      {320, 479, 10000001, 16, "320x479 0Hz 16bpp", "res_ega"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ListTexts::FormatItemText(c.width, c.height, c.interval, c.bits),
              QLatin1String(c.text));
    EXPECT_EQ(ListTexts::FormatIconName(c.height), QLatin1String(c.icon));
  }
}

TEST(FormatList, ListsEveryFormatWithItsIconAndTheHeightRule) {
  struct Case {
    int formats;
    int height;
  };
  for (const Case& c : {Case{1, 35}, Case{3, 95}, Case{4, 125}, Case{5, 154}, Case{7, 154}}) {
    SCOPED_TRACE(c.formats);
    TempHome home;
    korvane::sim::SimDevice camera = Camera("Cam");
    camera.formats.clear();
    for (int i = 0; i < c.formats; ++i) {
      // The same size at two rates is two items.
      camera.formats.push_back(Format(1280, 720, i % 2 ? 666666 : 333333));
    }
    korvane::sim::SimDescription description;
    description.devices = {camera, Camera("Spare")};
    Session session(description);
    auto* list = session.Find<TListBox>(QStringLiteral("ComboBoxFormat"));
    ASSERT_EQ(list->Count(), c.formats);
    EXPECT_EQ(list->GetHeight(), c.height);
    EXPECT_EQ(list->ItemText(0), QStringLiteral("1280x720 30Hz 16bpp"));
    if (c.formats > 1) {
      EXPECT_EQ(list->ItemText(1), QStringLiteral("1280x720 15Hz 16bpp"));
    }
    EXPECT_EQ(list->GetItemIndex(), 0);
    EXPECT_EQ(session.Form().GetSelectedFormatText(), QStringLiteral("1280x720 30Hz 16bpp"));
    const QImage icon =
        list->item(0)->icon().pixmap(session.Form().res_720->Bitmap().size()).toImage();
    EXPECT_EQ(icon, session.Form().res_720->Bitmap().toImage());
    EXPECT_FALSE(list->isVisibleTo(&session.Form()));
  }
}

TEST(FormatList, ATopDownFormatIsListedWithItsSize) {
  TempHome home;
  korvane::sim::SimDevice camera = Camera("Top-down");
  // The lowest height has no positive counterpart of its own type.
  camera.formats = {Format(640, -480), Format(640, std::numeric_limits<LONG>::min())};
  korvane::sim::SimDescription description;
  description.devices = {camera, Camera("Spare")};
  Session session(description);
  auto* list = session.Find<TListBox>(QStringLiteral("ComboBoxFormat"));
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ(list->ItemText(0), QStringLiteral("640x480 30Hz 16bpp"));
  EXPECT_EQ(list->ItemText(1), QStringLiteral("640x2147483648 30Hz 16bpp"));
  const QImage icon =
      list->item(0)->icon().pixmap(session.Form().res_vga->Bitmap().size()).toImage();
  EXPECT_EQ(icon, session.Form().res_vga->Bitmap().toImage());
}

TEST(FrequencyList, FollowsTheCameraAndWritesOnlyOnAClick) {
  TempHome home;
  korvane::sim::SimDevice fifty = Camera("Fifty");
  fifty.videoProcAmp[kPowerLine] = Control(0, 3, 1, 1, 2);
  korvane::sim::SimDevice automatic = Camera("Automatic");
  automatic.videoProcAmp[kPowerLine] = Control(0, 3, 1, 3, 2);
  korvane::sim::SimDevice none = Camera("Without");
  korvane::sim::SimDescription description;
  description.devices = {fifty, automatic, none};
  Session session(description);
  TFormMain& form = session.Form();
  auto* list = session.Find<TListBox>(QStringLiteral("ComboBoxFrequency"));
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ(list->ItemText(0), QStringLiteral("PAL - 50Hz"));
  EXPECT_EQ(list->ItemText(1), QStringLiteral("NTSC - 60Hz"));
  EXPECT_TRUE(form.LayoutFrequency->isVisibleTo(&form));
  EXPECT_EQ(list->GetItemIndex(), 0);

  // A camera on automatic keeps the selection of the previous camera.
  session.ClickCamera(1);
  EXPECT_TRUE(form.LayoutFrequency->isVisibleTo(&form));
  EXPECT_EQ(list->GetItemIndex(), 0);
  session.ClickCamera(2);
  EXPECT_FALSE(form.LayoutFrequency->isVisibleTo(&form));
  EXPECT_EQ(session.Store().CallCount("IAMVideoProcAmp::Set"), 0u);

  session.ClickCamera(0);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(1)).center());
  EXPECT_EQ(session.VideoProcAmp(0, kPowerLine).value, 2);
  EXPECT_EQ(list->GetItemIndex(), 1);
  EXPECT_EQ(session.Store().CallCount("IAMVideoProcAmp::Set"), 1u);
}

TEST(Selection, ACameraThatCannotBeReadReachesTheDefaultErrorDisplay) {
  TempHome home;
  korvane::sim::SimDevice broken = Camera("Broken");
  broken.faults["IMoniker::BindToObject"] = static_cast<HRESULT>(0x80070005);
  korvane::sim::SimDevice working = Camera("Working");
  working.videoProcAmp[kBrightness] = Control(0, 255, 1, 128);
  korvane::sim::SimDescription description;
  description.devices = {working, broken};
  Session session(description);
  ModalAnswerer errors(QStringLiteral("ApplicationErrorBox"), ClickOk);
  session.ClickCamera(1);
  ASSERT_EQ(errors.Texts().size(), 1);
  EXPECT_TRUE(errors.Texts().front().endsWith(QLatin1Char('.')))
      << errors.Texts().front().toStdString();
  // The program carries on: the first camera can be read again.
  session.ClickCamera(0);
  EXPECT_EQ(session.Find<QLabel>(QStringLiteral("SupportLabel"))->text(),
            QStringLiteral("Camera configurable"));
}
