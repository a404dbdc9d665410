#include "ui/ValueText.h"

#include "settings/PositionText.h"

namespace ValueText {

QString General(double position) {
  return QString::fromStdString(PositionText::General(position));
}

QString Integer(double position) {
  return QString::number(ToDeviceValue(position));
}

std::int32_t ToDeviceValue(double position) {
  return PositionText::ToDeviceValue(position);
}

}  // namespace ValueText
