#include "ui/ListTexts.h"

namespace ListTexts {

QString FormatItemText(std::int32_t width, std::int64_t height, std::int64_t avgTimePerFrame,
                       int bitsPerPixel) {
  QString text = QStringLiteral("%1x%2 ").arg(width).arg(height);
  if (avgTimePerFrame != 0) {
    text += QStringLiteral("%1Hz ").arg(std::int64_t{10000000} / avgTimePerFrame);
  }
  return text + QStringLiteral("%1bpp").arg(bitsPerPixel);
}

QString FormatIconName(std::int64_t height) {
  if (height >= 721) return QStringLiteral("res_1080");
  if (height == 720) return QStringLiteral("res_720");
  if (height >= 501) return QStringLiteral("res_pal");
  if (height >= 480) return QStringLiteral("res_vga");
  return QStringLiteral("res_ega");
}

int GrownCameraListHeight(int height) {
  return height < kCameraListGrowLimit ? height + kCameraItemHeight : height;
}

int FinishedFormatListHeight(int itemHeights) {
  return itemHeights >= 150 ? kFormatListMaxHeight : itemHeights + 5;
}

}  // namespace ListTexts
