#include "resources/SvgPicture.h"

#include <QPainter>
#include <QResource>
#include <QSvgRenderer>

QImage RenderSvgPicture(const QString& path, QSize size, qreal scale) {
  QSvgRenderer renderer(path);
  if (!renderer.isValid() || size.isEmpty()) return {};
  QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(scale);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
  return image;
}

QString PrerenderedPicturePath(const QString& path, QSize size, int scale) {
  // ":/artwork/rows/Gain.svg" -> ":/prerendered/artwork/rows/Gain@35x35@2x.argb32"
  QString name = path;
  if (name.startsWith(QLatin1String(":/"))) name.remove(0, 2);
  if (name.endsWith(QLatin1String(".svg"))) name.chop(4);
  return QStringLiteral(":/prerendered/%1@%2x%3@%4x.argb32")
      .arg(name)
      .arg(size.width())
      .arg(size.height())
      .arg(scale);
}

QImage LoadPrerenderedPicture(const QString& path, QSize size, int scale) {
  const QResource resource(PrerenderedPicturePath(path, size, scale));
  const QSize pixels = size * scale;
  const qint64 bytes = qint64(pixels.width()) * pixels.height() * 4;
  if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression ||
      resource.size() != bytes) {
    return {};
  }
  // The image reads the program's own read-only resource data in place; the toolkit copies
  // it only if someone writes to it.
  QImage image(resource.data(), pixels.width(), pixels.height(), pixels.width() * 4,
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(scale);
  return image;
}
