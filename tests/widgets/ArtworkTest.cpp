#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "resources/ArtworkCatalogue.h"
#include "resources/SvgPicture.h"
#include "tests/widgets/QtApp.h"

namespace {

struct Artwork {
  const char* path;
  QSize size;
};

void PrintTo(const Artwork& a, std::ostream* os) {
  *os << a.path;
}

constexpr QSize kRowIcon(35, 35);

// The window asks for these by path and lays them out at these sizes.
const Artwork kArtwork[] = {
    {":/artwork/logo.svg", {212, 80}},
    {":/artwork/buttons/open.svg", {35, 28}},
    {":/artwork/buttons/opendown.svg", {35, 28}},
    {":/artwork/buttons/save.svg", {51, 51}},
    {":/artwork/buttons/savedown.svg", {51, 51}},
    {":/artwork/buttons/x.svg", {31, 31}},
    {":/artwork/buttons/xdown.svg", {31, 31}},
    {":/artwork/buttons/factory.svg", {31, 31}},
    {":/artwork/buttons/factorydown.svg", {31, 31}},
    {":/artwork/rows/Exposure.svg", kRowIcon},
    {":/artwork/rows/Gain.svg", kRowIcon},
    {":/artwork/rows/WhiteBalance.svg", kRowIcon},
    {":/artwork/rows/Focus.svg", kRowIcon},
    {":/artwork/rows/Zoom.svg", kRowIcon},
    {":/artwork/rows/Brightness.svg", kRowIcon},
    {":/artwork/rows/Saturation.svg", kRowIcon},
    {":/artwork/rows/Contrast.svg", kRowIcon},
    {":/artwork/rows/Sharpness.svg", kRowIcon},
    {":/artwork/rows/BacklightCompensation.svg", kRowIcon},
    {":/artwork/rows/Gamma.svg", kRowIcon},
    {":/artwork/rows/ColorEnable.svg", kRowIcon},
    {":/artwork/rows/Hue.svg", kRowIcon},
    {":/artwork/rows/Iris.svg", kRowIcon},
    {":/artwork/rows/Roll.svg", kRowIcon},
    {":/artwork/rows/Tilt.svg", kRowIcon},
    {":/artwork/rows/Pan.svg", kRowIcon},
    {":/artwork/Webcam.svg", {40, 40}},
    {":/artwork/herz.svg", {20, 20}},
    {":/artwork/res_ega.svg", {28, 28}},
    {":/artwork/res_vga.svg", {28, 28}},
    {":/artwork/res_pal.svg", {28, 28}},
    {":/artwork/res_720.svg", {28, 28}},
    {":/artwork/res_1080.svg", {28, 28}},
    {":/artwork/cameratest.svg", {100, 80}},
    {":/artwork/cameraoff.svg", {24, 26}},
    {":/artwork/appicon.svg", {64, 64}},
};

class ArtworkTest : public testing::TestWithParam<Artwork> {
 protected:
  void SetUp() override { EnsureQtApplication(); }
};

TEST_P(ArtworkTest, LoadsAndRendersAtItsSize) {
  const Artwork& art = GetParam();
  ASSERT_TRUE(QFile::exists(art.path));
  QSvgRenderer renderer(QString::fromLatin1(art.path));
  ASSERT_TRUE(renderer.isValid());
  EXPECT_EQ(renderer.defaultSize(), art.size);

  QImage image(art.size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter);
  painter.end();
  // Enough of the picture is drawn that it reads as a symbol, not a speck.
  int drawn = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) drawn += qAlpha(image.pixel(x, y)) > 128;
  EXPECT_GT(drawn, image.width() * image.height() / 20);
}

INSTANTIATE_TEST_SUITE_P(All, ArtworkTest, testing::ValuesIn(kArtwork),
                         [](const testing::TestParamInfo<Artwork>& param) {
                           QString name = QString::fromLatin1(param.param.path).mid(10);
                           name.replace('/', '_').chop(4);
                           return name.toStdString();
                         });

}  // namespace

namespace {

// The pictures rendered at build time are the ones the program would draw from the SVG.
TEST(PrerenderedArtwork, MatchesTheSvgDrawnAtEachScale) {
  EnsureQtApplication();
  for (const TArtworkPicture& picture : kArtworkCatalogue) {
    for (const int scale : kArtworkScales) {
      SCOPED_TRACE(testing::Message() << picture.Path << " at " << scale << "x");
      const QSize size(picture.Width, picture.Height);
      const QImage drawn = RenderSvgPicture(QString::fromLatin1(picture.Path), size, scale);
      const QImage ahead = LoadPrerenderedPicture(QString::fromLatin1(picture.Path), size, scale);
      ASSERT_FALSE(ahead.isNull());
      EXPECT_EQ(ahead.devicePixelRatio(), scale);
      EXPECT_EQ(ahead, drawn);
    }
  }
}

}  // namespace
