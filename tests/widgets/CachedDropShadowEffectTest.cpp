#include "widgets/CachedDropShadowEffect.h"

#include <gtest/gtest.h>

#include <QGraphicsDropShadowEffect>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <type_traits>

#include "tests/widgets/QtApp.h"
#include "widgets/Image.h"

namespace {

QPixmap Disc(QColor colour) {
  QPixmap picture(37, 33);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(colour);
  painter.drawEllipse(3, 3, 30, 26);
  return picture;
}

// The picture on a parent, so that the shadow falls outside the picture's own area: shown by
// an image control (whose bitmap names what it shows) or by a label (drawn to be known).
template <typename Control>
QImage Drawn(const QPixmap& picture, QGraphicsDropShadowEffect* effect) {
  QWidget parent;
  parent.resize(80, 60);
  auto* control = new Control(&parent);
  control->setGeometry(20, 15, 37, 33);
  if constexpr (std::is_same_v<Control, TImage>) {
    control->SetBitmap(picture);
  } else {
    control->setPixmap(picture);
  }
  effect->setColor(QColor(255, 255, 255, 153));
  effect->setOffset(2.1, 2.1);
  effect->setBlurRadius(3);
  control->setGraphicsEffect(effect);
  QImage image(parent.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(QColor(0x18, 0x18, 0x3E));
  parent.render(&image);
  return image;
}

int LargestDifference(const QImage& a, const QImage& b) {
  int largest = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      for (const int shift : {0, 8, 16, 24}) {
        largest = std::max(largest, std::abs(int((a.pixel(x, y) >> shift) & 0xff) -
                                             int((b.pixel(x, y) >> shift) & 0xff)));
      }
    }
  }
  return largest;
}

template <typename Control>
void LooksLikeTheToolkitsShadowAndFollowsANewPicture() {
  EnsureQtApplication();
  const QPixmap red = Disc(Qt::red);
  const QImage plain = Drawn<Control>(red, new QGraphicsDropShadowEffect);
  EXPECT_LE(LargestDifference(Drawn<Control>(red, new TCachedDropShadowEffect), plain), 1);
  // Drawn again from what was kept, and then for another picture, not the kept one.
  EXPECT_LE(LargestDifference(Drawn<Control>(red, new TCachedDropShadowEffect), plain), 1);
  const QPixmap greenDisc = Disc(Qt::green);
  const QImage green = Drawn<Control>(greenDisc, new QGraphicsDropShadowEffect);
  ASSERT_GT(LargestDifference(green, plain), 100);
  EXPECT_LE(LargestDifference(Drawn<Control>(greenDisc, new TCachedDropShadowEffect), green), 1);
}

TEST(CachedDropShadowEffect, OnAnImageLooksLikeTheToolkitsShadowAndFollowsANewPicture) {
  LooksLikeTheToolkitsShadowAndFollowsANewPicture<TImage>();
}

TEST(CachedDropShadowEffect, OnAnyWidgetLooksLikeTheToolkitsShadowAndFollowsANewPicture) {
  LooksLikeTheToolkitsShadowAndFollowsANewPicture<QLabel>();
}

}  // namespace
