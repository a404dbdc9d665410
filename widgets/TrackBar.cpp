#include "widgets/TrackBar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "resources/Palette.h"
#include "widgets/Look.h"

namespace {

constexpr double kNormalHeight = 22;
constexpr double kNormalWidth = 120;
constexpr double kNormalThumbRadius = 7;
constexpr double kNormalGrooveThickness = 4;
constexpr int kPageSteps = 10;

constexpr QRgb kGrooveColor = 0xFFD6D6E6;
constexpr QRgb kDisabledGrooveColor = 0xFFE0E0E0;
constexpr QRgb kDisabledFillColor = 0xFFA6A6A6;

// The grid index a key press starts from: an index within rounding noise of an integer counts
// as that integer, so a value on the grid moves exactly one step.
double GridIndex(double value, double step) {
  const double index = value / step;
  const double nearest = std::round(index);
  return std::abs(index - nearest) < 1e-9 ? nearest : index;
}

}  // namespace

TTrackBar::TTrackBar(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setAttribute(Qt::WA_Hover);
}

void TTrackBar::SetMin(double min) {
  if (!std::isfinite(min)) return;
  TrackBarState wanted = FState;
  wanted.min = min;
  Apply(wanted);
}

void TTrackBar::SetMax(double max) {
  if (!std::isfinite(max)) return;
  TrackBarState wanted = FState;
  wanted.max = max;
  Apply(wanted);
}

void TTrackBar::SetFrequency(double step) {
  if (!std::isfinite(step)) return;
  TrackBarState wanted = FState;
  wanted.step = step;
  Apply(wanted);
}

void TTrackBar::SetValue(double value) {
  if (!std::isfinite(value)) return;
  TrackBarState wanted = FState;
  wanted.value = value;
  Apply(wanted);
}

void TTrackBar::SetScale(double scale) {
  if (!std::isfinite(scale) || scale <= 0 || scale == FScale) return;
  FScale = scale;
  updateGeometry();
  update();
}

void TTrackBar::Apply(TrackBarState wanted) {
  const double previous = FState.value;
  FState = ApplyTrackBarRule(wanted);
  Look::Show(this, Look::TAspect::Drawing, [this] { ShowState(); });
  if (FState.value != previous) emit Change();
}

void TTrackBar::ShowState() {
  // The step decides where the value may go, not how the bar looks.
  if (FState.min == FShown.min && FState.max == FShown.max && FState.value == FShown.value) {
    return;
  }
  FShown = FState;
  update();
}

QSize TTrackBar::sizeHint() const {
  return QSize(qRound(kNormalWidth * FScale), qRound(kNormalHeight * FScale));
}

QSize TTrackBar::minimumSizeHint() const {
  return QSize(qRound(4 * ThumbRadius() + 8), qRound(kNormalHeight * FScale));
}

double TTrackBar::ThumbRadius() const {
  return kNormalThumbRadius * FScale;
}
double TTrackBar::GrooveLeft() const {
  return ThumbRadius() + 2;
}
double TTrackBar::GrooveRight() const {
  return std::max(GrooveLeft(), width() - ThumbRadius() - 2);
}

double TTrackBar::PositionOf(double value) const {
  const double span = FState.max - FState.min;
  const double fraction = span > 0 ? (value - FState.min) / span : 0;
  return GrooveLeft() + fraction * (GrooveRight() - GrooveLeft());
}

double TTrackBar::ValueAt(double x) const {
  const double length = GrooveRight() - GrooveLeft();
  const double fraction = length > 0 ? std::clamp((x - GrooveLeft()) / length, 0.0, 1.0) : 0;
  // The ends exactly, so that a drag to either end reaches a value off the step grid too.
  if (fraction == 0) return FState.min;
  if (fraction == 1) return FState.max;
  return FState.min + fraction * (FState.max - FState.min);
}

double TTrackBar::KeyStep() const {
  return FState.step == 0 ? 1 : std::abs(FState.step);
}

void TTrackBar::keyPressEvent(QKeyEvent* event) {
  int steps = 0;
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
      steps = -1;
      break;
    case Qt::Key_Right:
    case Qt::Key_Up:
      steps = 1;
      break;
    case Qt::Key_PageUp:
      steps = kPageSteps;
      break;
    case Qt::Key_PageDown:
      steps = -kPageSteps;
      break;
    case Qt::Key_Home:
      SetValue(FState.min);
      return;
    case Qt::Key_End:
      SetValue(FState.max);
      return;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  // From a value off the grid (one of the ends) the first step goes to the nearest grid point
  // in that direction, not past it.
  const double step = KeyStep();
  const double index = GridIndex(FState.value, step);
  const double start = steps > 0 ? std::floor(index) : std::ceil(index);
  SetValue((start + steps) * step);
}

void TTrackBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  const double x = event->position().x();
  const double thumb = PositionOf(FState.value);
  FDragging = true;
  if (std::abs(x - thumb) <= ThumbRadius()) {
    FDragOffset = x - thumb;  // grabbing the thumb does not move it
  } else {
    FDragOffset = 0;
    SetValue(ValueAt(x));
  }
  event->accept();
}

void TTrackBar::mouseMoveEvent(QMouseEvent* event) {
  if (!FDragging) {
    QWidget::mouseMoveEvent(event);
    return;
  }
  SetValue(ValueAt(event->position().x() - FDragOffset));
  event->accept();
}

void TTrackBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && FDragging) {
    FDragging = false;
    event->accept();
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

void TTrackBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const bool enabled = isEnabled();
  const double centreY = height() / 2.0;
  const double groove = kNormalGrooveThickness * FScale;
  const double left = GrooveLeft();
  const double thumb = PositionOf(FState.value);
  painter.setPen(Qt::NoPen);

  painter.setBrush(QColor::fromRgba(enabled ? kGrooveColor : kDisabledGrooveColor));
  painter.drawRoundedRect(QRectF(left, centreY - groove / 2, GrooveRight() - left, groove),
                          groove / 2, groove / 2);
  const QColor fill = QColor::fromRgba(enabled ? ColorBright : kDisabledFillColor);
  painter.setBrush(fill);
  painter.drawRoundedRect(QRectF(left, centreY - groove / 2, thumb - left, groove), groove / 2,
                          groove / 2);

  const double radius = ThumbRadius();
  if (enabled && hasFocus()) {
    QColor halo = fill;
    halo.setAlpha(70);
    painter.setBrush(halo);
    painter.drawEllipse(QPointF(thumb, centreY), radius + 2, radius + 2);
  }
  painter.setBrush(fill);
  painter.drawEllipse(QPointF(thumb, centreY), radius, radius);
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(thumb, centreY), radius * 0.38, radius * 0.38);
}
