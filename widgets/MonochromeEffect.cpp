#include "widgets/MonochromeEffect.h"

#include <QImage>
#include <QPainter>

quint32 TMonochromeEffect::Grey(quint32 pixel) {
  const quint32 red = (pixel >> 16) & 0xff;
  const quint32 green = (pixel >> 8) & 0xff;
  const quint32 blue = pixel & 0xff;
  const quint32 grey = (red * 11 + green * 16 + blue * 5) / 32;
  return (pixel & 0xff000000u) | (grey << 16) | (grey << 8) | grey;
}

void TMonochromeEffect::draw(QPainter* painter) {
  QPoint offset;
  const QPixmap source = sourcePixmap(Qt::DeviceCoordinates, &offset, QGraphicsEffect::NoPad);
  if (source.isNull()) return;
  QImage image = source.toImage();
  if (image.format() != QImage::Format_ARGB32_Premultiplied &&
      image.format() != QImage::Format_RGB32) {
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
  }
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) line[x] = Grey(line[x]);
  }
  // The pixels are in device coordinates already.
  const QTransform transform = painter->worldTransform();
  painter->setWorldTransform(QTransform());
  painter->drawImage(offset, image);
  painter->setWorldTransform(transform);
}
