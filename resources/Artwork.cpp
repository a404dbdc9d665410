#include "resources/Artwork.h"

#include <QPainter>
#include <QSvgRenderer>

QPixmap RenderArtwork(const QString& path, QSize size, qreal devicePixelRatio) {
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return {};
  if (size.isEmpty()) size = renderer.defaultSize();
  if (size.isEmpty() || devicePixelRatio <= 0) return {};
  QPixmap pixmap((QSizeF(size) * devicePixelRatio).toSize());
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
  return pixmap;
}
