#include "widgets/FittingLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <cmath>

namespace {

constexpr qreal kSmallestPixelSize = 4;
// Room left at either side, so that a shrunk text does not touch its neighbours.
constexpr int kSpareAtEachSide = 1;

}  // namespace

QFont TFittingLabel::DrawnFont() const {
  QFont drawn = font();
  const qreal room = contentsRect().width() - 2 * kSpareAtEachSide;
  const qreal needed = QFontMetricsF(drawn).horizontalAdvance(text());
  if (needed <= room || room <= 0) return drawn;
  // Text width grows with the font size; a step or two down covers the rounding of glyphs.
  qreal size = drawn.pixelSize() > 0 ? drawn.pixelSize() : drawn.pointSizeF();
  size = std::max(kSmallestPixelSize, std::floor(size * room / needed));
  for (; size > kSmallestPixelSize; --size) {
    drawn.setPixelSize(static_cast<int>(size));
    if (QFontMetricsF(drawn).horizontalAdvance(text()) <= room) return drawn;
  }
  drawn.setPixelSize(static_cast<int>(kSmallestPixelSize));
  return drawn;
}

void TFittingLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(DrawnFont());
  style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                        isEnabled(), text(), foregroundRole());
}
