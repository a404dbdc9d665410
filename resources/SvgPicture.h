#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// One way to turn an SVG picture into pixels, used both ahead of time at build time and by the
// window for a picture or a screen scale that was not rendered ahead, so both look the same.

// The picture at `size` window units on a screen of `scale` device pixels per unit, with
// antialiasing, on transparent; a null image when the SVG cannot be read or the size is empty.
QImage RenderSvgPicture(const QString& path, QSize size, qreal scale);

// Where the build puts the picture rendered ahead: a resource path beside the SVG's. The
// resource holds the pixels as they are in memory (premultiplied ARGB, 32 bits, rows without
// padding) and is stored uncompressed, so loading it decodes nothing.
QString PrerenderedPicturePath(const QString& path, QSize size, int scale);

// The picture rendered ahead, or a null image when the build has none for this size and scale.
QImage LoadPrerenderedPicture(const QString& path, QSize size, int scale);
