#include "widgets/MonochromeEffect.h"

#include <gtest/gtest.h>

#include <QGraphicsColorizeEffect>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdlib>

#include "tests/widgets/QtApp.h"

namespace {

// A widget that paints every hue, every brightness and a half-transparent band.
class Colourful : public QWidget {
 public:
  Colourful() { resize(256, 64); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    for (int x = 0; x < 256; ++x) {
      painter.setPen(QColor::fromHsv(x * 359 / 255, 255, 255));
      painter.drawLine(x, 0, x, 20);
      painter.setPen(QColor(x, 255 - x, (x * 7) % 256));
      painter.drawLine(x, 21, x, 42);
      painter.setPen(QColor(x, x / 2, 255 - x, x));
      painter.drawLine(x, 43, x, 63);
    }
    painter.setPen(Qt::black);
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Exposure Auto"));
    painter.setPen(QColor(0x63, 0x60, 0xE3));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawEllipse(QRectF(100.5, 10.5, 20, 20));
  }
};

QImage Drawn(QWidget& widget, QGraphicsEffect* effect) {
  widget.setGraphicsEffect(effect);
  QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  widget.render(&image);
  return image;
}

TEST(MonochromeEffect, LooksLikeTheToolkitsBlackColouringAtFullStrength) {
  EnsureQtApplication();
  Colourful widget;
  auto* colorize = new QGraphicsColorizeEffect;
  colorize->setColor(Qt::black);
  colorize->setStrength(1.0);
  const QImage expected = Drawn(widget, colorize);
  ASSERT_NE(expected, Drawn(widget, nullptr));  // the toolkit's effect did act
  const QImage actual = Drawn(widget, new TMonochromeEffect);
  ASSERT_EQ(actual.size(), expected.size());
  int largest = 0;
  for (int y = 0; y < actual.height(); ++y) {
    for (int x = 0; x < actual.width(); ++x) {
      const QRgb a = actual.pixel(x, y), e = expected.pixel(x, y);
      for (const int shift : {0, 8, 16, 24}) {
        largest = std::max(largest, std::abs(int((a >> shift) & 0xff) - int((e >> shift) & 0xff)));
      }
    }
  }
  EXPECT_LE(largest, 1);
}

TEST(MonochromeEffect, GreyKeepsOpacityAndPremultiplication) {
  EXPECT_EQ(TMonochromeEffect::Grey(0xffff0000u), 0xff575757u);  // red: 255 * 11 / 32
  EXPECT_EQ(TMonochromeEffect::Grey(0xff00ff00u), 0xff7f7f7fu);  // green: 255 * 16 / 32
  EXPECT_EQ(TMonochromeEffect::Grey(0xffffffffu), 0xffffffffu);
  EXPECT_EQ(TMonochromeEffect::Grey(0x80800000u), 0x802c2c2cu);  // half-transparent red
  EXPECT_EQ(TMonochromeEffect::Grey(0x00000000u), 0x00000000u);
}

}  // namespace
