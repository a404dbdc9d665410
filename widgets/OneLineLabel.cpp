#include "widgets/OneLineLabel.h"

#include <QFontMetrics>

QSize TOneLineLabel::sizeHint() const {
  const QMargins margins = contentsMargins();
  const int frame = 2 * margin();
  return {minimumWidth(), fontMetrics().height() + margins.top() + margins.bottom() + frame};
}

QSize TOneLineLabel::minimumSizeHint() const {
  return sizeHint();
}
