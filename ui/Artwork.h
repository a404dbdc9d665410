#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

class QWidget;

// Helpers the window uses to dress its controls.
namespace Artwork {

// Renders one of our SVG pictures (":/artwork/...") at a size in window units, sharp on the
// primary screen; an empty pixmap when the picture cannot be loaded.
QPixmap Render(const QString& resourcePath, QSize size);
QPixmap RenderUncached(const QString& resourcePath, QSize size);

void SetTextColour(QWidget* widget, QColor colour);
// Text colours that follow the enabled state of the widget.
void SetTextColours(QWidget* widget, QColor enabledColour, QColor disabledColour);
void SetFontPixelSize(QWidget* widget, int pixelSize, bool bold = false);

}  // namespace Artwork
