#include "ui/WidgetControl.h"

TWidgetControl::TWidgetControl(QWidget* Widget) : FWidget(Widget) {
  if (Widget)
    FDestroyed = QObject::connect(Widget, &QObject::destroyed, [this] { NotifyRemoval(); });
}

TWidgetControl::~TWidgetControl() {
  QObject::disconnect(FDestroyed);
  NotifyRemoval();
}

TFControl* TWidgetControl::GetParentForm() {
  if (!FWidget) return nullptr;
  QWidget* const Window = FWidget->window();
  if (Window == FWidget) return this;
  if (!FForm || FForm->Widget() != Window) FForm = std::make_unique<TWidgetControl>(Window);
  return FForm.get();
}

bool TWidgetControl::IsForm() const {
  const QWidget* const Widget = FWidget.data();
  return Widget && Widget->isWindow();
}

HWND TWidgetControl::GetHandle() {
  // Asking for the id gives the window a native one if it has none yet.
  return FWidget ? reinterpret_cast<HWND>(FWidget->winId()) : nullptr;
}

double TWidgetControl::GetWidth() const {
  const QWidget* const Widget = FWidget.data();
  return Widget ? Widget->width() : 0;
}

double TWidgetControl::GetHeight() const {
  const QWidget* const Widget = FWidget.data();
  return Widget ? Widget->height() : 0;
}

TFPointF TWidgetControl::LocalToForm(TFPointF Point) const {
  if (!FWidget) return Point;
  const QPointF Mapped = FWidget->mapTo(FWidget->window(), QPointF(Point.X, Point.Y));
  return {Mapped.x(), Mapped.y()};
}
