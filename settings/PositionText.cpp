#include "settings/PositionText.h"

#include <QLocale>
#include <QString>
#include <cmath>
#include <cstdio>
#include <limits>

namespace PositionText {

// The user's locale is Qt's view of it (QLocale's default), so the window, which may set
// that default, and the command-line tool, which takes it from the environment, agree.
std::string General(double position) {
  const double single = static_cast<double>(static_cast<float>(position));
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", single);
  QString text = QString::fromLatin1(buffer);
  text.replace(QLatin1Char('.'), QLocale().decimalPoint());
  return text.toStdString();
}

double Parse(std::string_view text) {
  QLocale locale;
  locale.setNumberOptions(QLocale::RejectGroupSeparator);
  bool ok = false;
  const QString number =
      QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).trimmed();
  const double value = locale.toDouble(number, &ok);
  if (!ok || !std::isfinite(value) || !std::isfinite(static_cast<float>(value))) return 0;
  return value;
}

std::int32_t ToDeviceValue(double position) {
  const double truncated = std::trunc(static_cast<double>(static_cast<float>(position)));
  if (std::isnan(truncated)) return 0;
  constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
  if (truncated <= kLowest) return std::numeric_limits<std::int32_t>::min();
  if (truncated >= kHighest) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(truncated);
}

}  // namespace PositionText
