#include "ui/MessagePanelLayout.h"

#include <QLabel>
#include <algorithm>

namespace {

// The width a label's text needs, margins and indent included.
int NeededWidth(const QLayoutItem* item) {
  const auto* label = qobject_cast<const QLabel*>(item->widget());
  return label == nullptr || label->text().isEmpty() ? 0 : label->sizeHint().width();
}

}  // namespace

TMessagePanelLayout::TMessagePanelLayout(QWidget* parent, QLabel* status, QLabel* message,
                                         QLabel* support)
    : QLayout(parent) {
  setContentsMargins(0, 0, 0, 0);
  for (QLabel* label : {status, message, support}) addWidget(label);
}

TMessagePanelLayout::~TMessagePanelLayout() {
  while (QLayoutItem* item = takeAt(0)) delete item;
}

TMessagePanelLayout::TWidths TMessagePanelLayout::Share(int stripWidth, const TWidths& needed) {
  const int inner = std::max(stripWidth - 2 * kMargin, 0);
  TWidths widths{kStatusWidth, 0, kSupportWidth};
  int missing = needed.Message - (inner - widths.Status - widths.Support);
  // The room a side label does not need for its text, taken until the message fits.
  for (int* side : {&widths.Support, &widths.Status}) {
    const int needs = side == &widths.Support ? needed.Support : needed.Status;
    const int spare = std::clamp(missing, 0, std::max(*side - needs, 0));
    *side -= spare;
    missing -= spare;
  }
  widths.Status = std::min(widths.Status, inner);
  widths.Support = std::min(widths.Support, inner - widths.Status);
  widths.Message = inner - widths.Status - widths.Support;
  return widths;
}

void TMessagePanelLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  if (FItems.size() != 3) return;
  const TWidths widths =
      Share(rect.width(), {NeededWidth(FItems[0]), NeededWidth(FItems[1]), NeededWidth(FItems[2])});
  int left = rect.left() + kMargin;
  for (const auto& [item, width] :
       {std::pair{FItems[0], widths.Status}, std::pair{FItems[1], widths.Message},
        std::pair{FItems[2], widths.Support}}) {
    item->setGeometry(QRect(left, rect.top(), width, rect.height()));
    left += width;
  }
}

QSize TMessagePanelLayout::sizeHint() const {
  int height = 0;
  for (const QLayoutItem* item : FItems) height = std::max(height, item->sizeHint().height());
  return {2 * kMargin + kStatusWidth + kSupportWidth, height};
}

QSize TMessagePanelLayout::minimumSize() const {
  // The window sheds the strip below its narrowest width instead of refusing to get narrower.
  return {0, 0};
}

void TMessagePanelLayout::addItem(QLayoutItem* item) {
  FItems.append(item);
}

QLayoutItem* TMessagePanelLayout::itemAt(int index) const {
  return FItems.value(index, nullptr);
}

QLayoutItem* TMessagePanelLayout::takeAt(int index) {
  return index >= 0 && index < FItems.size() ? FItems.takeAt(index) : nullptr;
}

int TMessagePanelLayout::count() const {
  return static_cast<int>(FItems.size());
}
