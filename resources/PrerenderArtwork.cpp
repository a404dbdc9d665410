// Build step: renders the window's pictures ahead for the usual screen scales and writes a
// resource file that lists them, so that the program starts without parsing SVG.
// Usage: korvane_prerender_artwork SOURCE_DIR OUTPUT_DIR
// (reads SOURCE_DIR/artwork/..., writes OUTPUT_DIR/prerendered.qrc and the PNGs it lists)
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

#include "resources/ArtworkCatalogue.h"
#include "resources/SvgPicture.h"

namespace {

bool WritePixels(const QImage& image, const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const qint64 rowBytes = qint64(image.width()) * 4;
  for (int y = 0; y < image.height(); ++y) {
    const char* row = reinterpret_cast<const char*>(image.constScanLine(y));
    if (file.write(row, rowBytes) != rowBytes) return false;
  }
  return file.flush();
}

}  // namespace

int main(int argc, char* argv[]) {
  QGuiApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SOURCE_DIR OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const QDir source(QString::fromLocal8Bit(argv[1]));
  const QDir output(QString::fromLocal8Bit(argv[2]));
  QString list;
  for (const TArtworkPicture& picture : kArtworkCatalogue) {
    const QString path = QString::fromLatin1(picture.Path);
    const QSize size(picture.Width, picture.Height);
    for (const int scale : kArtworkScales) {
      // The resource path ":/artwork/..." names the file "artwork/..." of the source folder.
      const QImage image = RenderSvgPicture(source.filePath(path.mid(2)), size, scale);
      // ":/prerendered/artwork/x@..." -> alias "artwork/x@..." under the prefix.
      const QString alias = PrerenderedPicturePath(path, size, scale).mid(14);
      const QString file = output.filePath(alias);
      if (image.isNull() || !output.mkpath(QFileInfo(file).path()) || !WritePixels(image, file)) {
        std::fprintf(stderr, "cannot render %s at scale %d into %s\n", picture.Path, scale,
                     qPrintable(file));
        return 1;
      }
      list += QStringLiteral("    <file alias=\"%1\">%2</file>\n").arg(alias, file);
    }
  }
  QFile qrc(output.filePath(QStringLiteral("prerendered.qrc")));
  if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(qrc.fileName()));
    return 1;
  }
  QTextStream(&qrc)
      << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n  <qresource prefix=\"/prerendered\">\n"
      << list << "  </qresource>\n</RCC>\n";
  return qrc.error() == QFile::NoError ? 0 : 1;
}
