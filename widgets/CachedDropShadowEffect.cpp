#include "widgets/CachedDropShadowEffect.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QHash>
#include <QImage>
#include <QPainter>

#include "widgets/Image.h"

namespace {

struct TShadowed {
  QImage Source;  // what the widget drew, compared on a hit so that a hash clash cannot mislead
  QColor Colour;
  QPointF Offset;
  qreal Blur = 0;
  QImage Drawn;  // the shadow with the source over it
};

// A handful of pictures live in a window; the bound only keeps a program that shows ever new
// pictures from growing.
constexpr qsizetype kMostKept = 64;

QImage WithShadow(const QPixmap& source, const QGraphicsDropShadowEffect& settings) {
  // The toolkit's own shadow, drawn once on a scene of its own.
  QGraphicsScene scene;
  QGraphicsPixmapItem* item = scene.addPixmap(source);
  auto* shadow = new QGraphicsDropShadowEffect;
  shadow->setColor(settings.color());
  shadow->setOffset(settings.offset());
  shadow->setBlurRadius(settings.blurRadius());
  item->setGraphicsEffect(shadow);
  QImage drawn(source.size(), QImage::Format_ARGB32_Premultiplied);
  drawn.fill(Qt::transparent);
  QPainter painter(&drawn);
  const QRectF area(QPointF(0, 0), QSizeF(source.size()));
  scene.render(&painter, area, area);
  return drawn;
}

void DrawInDeviceCoordinates(QPainter& painter, QPoint at, const QImage& drawn) {
  const QTransform transform = painter.worldTransform();
  painter.setWorldTransform(QTransform());
  painter.drawImage(at, drawn);
  painter.setWorldTransform(transform);
}

}  // namespace

void TCachedDropShadowEffect::draw(QPainter* painter) {
  // An image control looks like its bitmap at its size: the pair names the picture without
  // drawing it. Anything else is drawn and its pixels name it.
  static QHash<size_t, TShadowed> byImage;
  static QHash<size_t, TShadowed> byPixels;
  const auto settingsKey = [this] {
    return qHashMulti(0, color().rgba(), offset().x(), offset().y(), blurRadius());
  };
  const auto* image = qobject_cast<const TImage*>(parent());
  size_t imageKey = 0;
  if (image && image->graphicsEffect() == this && !image->Bitmap().isNull()) {
    imageKey = qHashMulti(settingsKey(), image->Bitmap().cacheKey(), image->width(),
                          image->height(), painter->device()->devicePixelRatio());
    if (const auto found = byImage.constFind(imageKey); found != byImage.constEnd()) {
      const QRect padded =
          boundingRectFor(sourceBoundingRect(Qt::DeviceCoordinates)).toAlignedRect();
      DrawInDeviceCoordinates(*painter, padded.topLeft(), found->Drawn);
      return;
    }
  }
  QPoint at;
  const QPixmap source =
      sourcePixmap(Qt::DeviceCoordinates, &at, QGraphicsEffect::PadToEffectiveBoundingRect);
  if (source.isNull()) return;
  QImage pixels = source.toImage();
  if (pixels.format() != QImage::Format_ARGB32_Premultiplied) {
    pixels.convertTo(QImage::Format_ARGB32_Premultiplied);
  }
  const size_t pixelKey = qHashMulti(
      settingsKey(), qHashBits(pixels.constBits(), static_cast<size_t>(pixels.sizeInBytes())),
      pixels.width(), pixels.height());
  auto found = byPixels.find(pixelKey);
  if (found == byPixels.end() || found->Source != pixels || found->Colour != color() ||
      found->Offset != offset() || found->Blur != blurRadius()) {
    if (byPixels.size() >= kMostKept) byPixels.clear();
    found = byPixels.insert(
        pixelKey, TShadowed{pixels, color(), offset(), blurRadius(), WithShadow(source, *this)});
  }
  if (imageKey != 0) {
    if (byImage.size() >= kMostKept) byImage.clear();
    byImage.insert(imageKey, *found);
  }
  DrawInDeviceCoordinates(*painter, at, found->Drawn);
}
