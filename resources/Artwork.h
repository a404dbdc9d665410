#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

// Renders one of the program's SVG pictures (":/artwork/...") into a bitmap of the given
// logical size, or of the picture's own size when none is given. A device pixel ratio above 1
// gives a sharp bitmap on high-density screens. A path that does not load gives a null pixmap.
QPixmap RenderArtwork(const QString& path, QSize size = {}, qreal devicePixelRatio = 1.0);
