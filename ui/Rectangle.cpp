#include "ui/Rectangle.h"

#include <QPainter>

TRectangle::TRectangle(QColor fill, QWidget* parent) : QWidget(parent), FFill(fill) {}

void TRectangle::SetFill(QColor fill) {
  if (fill == FFill) return;
  FFill = fill;
  update();
}

void TRectangle::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), FFill);
}
