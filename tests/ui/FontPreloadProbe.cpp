// Starts the toolkit as the program does, with or without reading the font configuration
// ahead ("preload" as the first argument), and prints the fonts the toolkit then offers and
// picks for the window.
#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QRawFont>
#include <QTextStream>
#include <optional>

#include "app/FontConfigurationPreload.h"

int main(int argc, char* argv[]) {
  std::optional<TFontConfigurationPreload> preload;
  if (argc > 1 && QByteArray(argv[1]) == "preload") preload.emplace();
  QApplication application(argc, argv);
  if (preload) preload->Wait();

  QTextStream out(stdout);
  for (const QString& family : QFontDatabase::families()) out << "family " << family << '\n';
  for (const QString& name : {QStringLiteral("Carlito"), QStringLiteral("Sans Serif")}) {
    for (const bool bold : {false, true}) {
      QFont font(name, 9, bold ? QFont::Bold : QFont::Normal);
      const QFontInfo info(font);
      const QRawFont raw = QRawFont::fromFont(font);
      out << "font " << name << (bold ? " bold" : "") << " -> " << info.family() << ' '
          << info.styleName() << ' ' << info.pixelSize() << ' ' << raw.familyName() << ' '
          << raw.styleName() << '\n';
    }
  }
  return 0;
}
