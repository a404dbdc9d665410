// Renders the application icon's SVG into a square PNG of one size, at build time:
//   korvane_icon_render <icon.svg> <out.png> <size>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[]) {
  // No display is needed or wanted while building.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const QStringList arguments = QGuiApplication::arguments();
  bool ok = false;
  const int size = arguments.size() == 4 ? arguments[3].toInt(&ok) : 0;
  if (!ok || size <= 0) {
    std::fputs("usage: korvane_icon_render <icon.svg> <out.png> <size>\n", stderr);
    return 2;
  }
  QSvgRenderer renderer(arguments[1]);
  if (!renderer.isValid()) {
    std::fprintf(stderr, "korvane_icon_render: cannot read %s\n", qPrintable(arguments[1]));
    return 1;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
  }
  if (!image.save(arguments[2], "PNG")) {
    std::fprintf(stderr, "korvane_icon_render: cannot write %s\n", qPrintable(arguments[2]));
    return 1;
  }
  return 0;
}
