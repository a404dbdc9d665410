// Reading the font configuration ahead on another thread must leave the toolkit with the
// fonts it finds on its own.
#include <gtest/gtest.h>

#include <QProcess>
#include <QString>

namespace {

QString ProbeOutput(const QStringList& arguments) {
  QProcess probe;
  probe.start(QStringLiteral(KORVANE_FONT_PRELOAD_PROBE), arguments);
  EXPECT_TRUE(probe.waitForFinished(60000));
  EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
  return QString::fromUtf8(probe.readAllStandardOutput());
}

TEST(FontConfigurationPreload, LeavesTheToolkitWithTheFontsItFindsWithoutIt) {
  const QString without = ProbeOutput({});
  const QString with = ProbeOutput({QStringLiteral("preload")});
  EXPECT_EQ(with, without);
  // The window's own font is found, not a fallback.
  EXPECT_TRUE(with.contains(QStringLiteral("font Carlito -> Carlito Regular")))
      << with.toStdString();
  EXPECT_TRUE(with.contains(QStringLiteral("font Carlito bold -> Carlito Bold")))
      << with.toStdString();
}

}  // namespace
