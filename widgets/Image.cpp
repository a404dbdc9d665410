#include "widgets/Image.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::SetBitmap(const QPixmap& bitmap) {
  FBitmap = bitmap;
  update();
}

QSize TImage::sizeHint() const {
  if (FBitmap.isNull()) return QWidget::sizeHint();
  return FBitmap.deviceIndependentSize().toSize();
}

void TImage::paintEvent(QPaintEvent*) {
  if (FBitmap.isNull()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawPixmap(rect(), FBitmap);
}

void TImage::mousePressEvent(QMouseEvent* event) {
  FPressedButtons |= event->button();
  NoteMouseOver(true);
  event->accept();
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
  const bool wasPressed = FPressedButtons.testFlag(event->button());
  FPressedButtons &= ~event->button();
  event->accept();
  if (wasPressed && event->button() == Qt::LeftButton &&
      rect().contains(event->position().toPoint())) {
    // A modal dialog opened by the click takes the pointer away; that is not the user leaving
    // the control, and the pressed look has to stay until the action has finished.
    const QScopedValueRollback delivering(FDeliveringClick, true);
    emit clicked();
  }
}

void TImage::mouseMoveEvent(QMouseEvent* event) {
  if (IsPressed()) NoteMouseOver(rect().contains(event->position().toPoint()));
  event->accept();
}

void TImage::enterEvent(QEnterEvent* event) {
  NoteMouseOver(true);
  QWidget::enterEvent(event);
}

void TImage::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  NoteMouseOver(false);
}

void TImage::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange && !isEnabled() && IsPressed()) {
    FPressedButtons = Qt::NoButton;
    DoPressCancelled();
  }
}

void TImage::NoteMouseOver(bool over) {
  if (over == FMouseOver) return;
  FMouseOver = over;
  // A disabled control takes no part in the mouse's doings, not even the leave.
  if (!over && isEnabled() && !FDeliveringClick) DoMouseLeave();
}
