#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

class QWidget;

// Helpers the window uses to dress its controls.
namespace Artwork {

// One of our SVG pictures (":/artwork/...") at a size in window units, sharp on the primary
// screen: the copy rendered at build time where there is one, else drawn from the SVG; an
// empty pixmap when the picture cannot be loaded.
QPixmap Render(const QString& resourcePath, QSize size);
QPixmap RenderUncached(const QString& resourcePath, QSize size);
// The program's icon at the sizes the desktop asks for.
QIcon WindowIcon();
// The pictures this process had to draw from their SVG, as "path@WxH@scale" (the window
// should need none on a screen of a usual scale).
QStringList PicturesDrawnFromSvg();

void SetTextColour(QWidget* widget, QColor colour);
// Text colours that follow the enabled state of the widget.
void SetTextColours(QWidget* widget, QColor enabledColour, QColor disabledColour);
void SetFontPixelSize(QWidget* widget, int pixelSize, bool bold = false);
// A style sheet brings a style of its own to its widget, which is costly to set up: controls
// that start hidden take theirs just before they are first shown. Sets it once.
void SetStyleSheetOnce(QWidget* widget, const QString& sheet);

}  // namespace Artwork
