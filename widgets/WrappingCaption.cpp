#include "widgets/WrappingCaption.h"

int TWrappingCaption::heightForWidth(int width) const {
  Revalidate();
  if (const auto found = FHeights.constFind(width); found != FHeights.constEnd()) return *found;
  const int height = QLabel::heightForWidth(width);
  FHeights.insert(width, height);
  return height;
}

QSize TWrappingCaption::sizeHint() const {
  Revalidate();
  if (!FSizeHint.isValid()) FSizeHint = QLabel::sizeHint();
  return FSizeHint;
}

QSize TWrappingCaption::minimumSizeHint() const {
  Revalidate();
  if (!FMinimumSizeHint.isValid()) FMinimumSizeHint = QLabel::minimumSizeHint();
  return FMinimumSizeHint;
}

void TWrappingCaption::changeEvent(QEvent* event) {
  // A style or font change can change the text's size without touching what is compared.
  Forget();
  QLabel::changeEvent(event);
}

void TWrappingCaption::Revalidate() const {
  const TMeasure measure{text(),   font(),  alignment(), wordWrap(), contentsMargins(),
                         margin(), indent()};
  if (measure == FMeasure) return;
  FMeasure = measure;
  Forget();
}

void TWrappingCaption::Forget() const {
  FHeights.clear();
  FSizeHint = FMinimumSizeHint = QSize();
}
