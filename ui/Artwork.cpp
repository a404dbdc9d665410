#include "ui/Artwork.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <QWidget>

namespace Artwork {

QPixmap Render(const QString& resourcePath, QSize size) {
  QSvgRenderer renderer(resourcePath);
  if (!renderer.isValid() || size.isEmpty()) return {};
  const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
  QPixmap pixmap(size * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
  return pixmap;
}

void SetTextColour(QWidget* widget, QColor colour) {
  QPalette colours = widget->palette();
  for (const QPalette::ColorGroup group :
       {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colours.setColor(group, QPalette::WindowText, colour);
    colours.setColor(group, QPalette::Text, colour);
    colours.setColor(group, QPalette::ButtonText, colour);
  }
  widget->setPalette(colours);
}

void SetFontPixelSize(QWidget* widget, int pixelSize, bool bold) {
  QFont font = widget->font();
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  widget->setFont(font);
}

}  // namespace Artwork
