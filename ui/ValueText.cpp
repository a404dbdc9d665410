#include "ui/ValueText.h"

#include <QLocale>
#include <cmath>
#include <cstdio>
#include <limits>

namespace ValueText {

QString General(double position) {
  const double single = static_cast<double>(static_cast<float>(position));
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", single);
  QString text = QString::fromLatin1(buffer);
  text.replace(QLatin1Char('.'), QLocale().decimalPoint());
  return text;
}

QString Integer(double position) {
  return QString::number(ToDeviceValue(position));
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

}  // namespace ValueText
