#include "ui/PaintBox.h"

#include <QPainter>

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPaintBox::paintEvent(QPaintEvent*) {
  QPainter Canvas(this);
  emit Paint(Canvas);
}
