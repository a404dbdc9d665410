#include "ui/Artwork.h"

#include <QGuiApplication>
#include <QHash>
#include <QWidget>

#include "resources/ArtworkCatalogue.h"
#include "resources/SvgPicture.h"

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

namespace {
QStringList& DrawnFromSvg() {
  static QStringList drawn;
  return drawn;
}
}  // namespace

QPixmap RenderUncached(const QString& resourcePath, QSize size) {
  const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
  if (size.isEmpty()) return {};
  // The build rendered the window's pictures ahead for the usual scales: taking one is a
  // copy, where parsing and drawing the SVG costs a hundred times more.
  for (const int scale : kArtworkScales) {
    if (ratio != scale) continue;
    if (QImage ahead = LoadPrerenderedPicture(resourcePath, size, scale); !ahead.isNull()) {
      return QPixmap::fromImage(std::move(ahead));
    }
  }
  DrawnFromSvg().append(QStringLiteral("%1@%2x%3@%4x")
                            .arg(resourcePath)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(ratio));
  return QPixmap::fromImage(RenderSvgPicture(resourcePath, size, ratio));
}

QStringList PicturesDrawnFromSvg() {
  return DrawnFromSvg();
}

QIcon WindowIcon() {
  QIcon icon;
  for (const int side : kWindowIconSizes) {
    icon.addPixmap(Render(QStringLiteral(":/artwork/appicon.svg"), {side, side}));
  }
  return icon;
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

void SetStyleSheetOnce(QWidget* widget, const QString& sheet) {
  if (widget->styleSheet().isEmpty()) widget->setStyleSheet(sheet);
}

}  // namespace Artwork
