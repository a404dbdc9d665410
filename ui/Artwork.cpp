#include "ui/Artwork.h"

#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>
#include <QWidget>

namespace Artwork {

QPixmap Render(const QString& resourcePath, QSize size) {
  // Several controls show the same picture, and a picture never changes while the program
  // runs: each is parsed and drawn once.
  static QHash<QString, QPixmap> rendered;
  const QString key =
      QStringLiteral("%1@%2x%3").arg(resourcePath).arg(size.width()).arg(size.height());
  if (const auto found = rendered.constFind(key); found != rendered.constEnd()) return *found;
  QPixmap pixmap = RenderUncached(resourcePath, size);
  rendered.insert(key, pixmap);
  return pixmap;
}

QPixmap RenderUncached(const QString& resourcePath, QSize size) {
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
  // Setting a palette re-polishes the widget and its children; skip it when nothing changes.
  if (widget->palette().color(QPalette::Active, QPalette::WindowText) == colour &&
      widget->palette().color(QPalette::Disabled, QPalette::WindowText) == colour) {
    return;
  }
  QPalette colours = widget->palette();
  for (const QPalette::ColorGroup group :
       {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colours.setColor(group, QPalette::WindowText, colour);
    colours.setColor(group, QPalette::Text, colour);
    colours.setColor(group, QPalette::ButtonText, colour);
  }
  widget->setPalette(colours);
}

void SetTextColours(QWidget* widget, QColor enabledColour, QColor disabledColour) {
  QPalette colours = widget->palette();
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    colours.setColor(group, QPalette::WindowText, enabledColour);
    colours.setColor(group, QPalette::Text, enabledColour);
  }
  colours.setColor(QPalette::Disabled, QPalette::WindowText, disabledColour);
  colours.setColor(QPalette::Disabled, QPalette::Text, disabledColour);
  widget->setPalette(colours);
}

void SetFontPixelSize(QWidget* widget, int pixelSize, bool bold) {
  if (widget->font().pixelSize() == pixelSize && widget->font().bold() == bold) return;
  QFont font = widget->font();
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  widget->setFont(font);
}

}  // namespace Artwork
