#include "widgets/Look.h"

#include <QGraphicsEffect>
#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <utility>
#include <vector>

namespace Look {
namespace {

struct TPending {
  QPointer<QObject> Control;
  TAspect Aspect;
  std::function<void()> Show;
};

struct TBatches {
  int Depth = 0;
  // In the order of first setting, so that a commit applies changes in the order a pass made
  // them.
  std::vector<TPending> Pending;
  QHash<std::pair<const QObject*, int>, std::size_t> Positions;
};

TBatches& Batches() {
  static TBatches batches;
  return batches;
}

void Commit() {
  TBatches& batches = Batches();
  // Taken out first: showing a change may set other controls, which then apply at once.
  std::vector<TPending> pending = std::move(batches.Pending);
  batches.Pending.clear();
  batches.Positions.clear();
  for (const TPending& change : pending) {
    if (change.Control) change.Show();
  }
}

void LeaveFocus(QWidget* widget) {
  QWidget* const focused = widget->window()->focusWidget();
  if (focused && (focused == widget || widget->isAncestorOf(focused))) focused->clearFocus();
}

}  // namespace

TBatch::TBatch() {
  ++Batches().Depth;
}

TBatch::~TBatch() {
  if (--Batches().Depth == 0) Commit();
}

bool InBatch() {
  return Batches().Depth > 0;
}

void Show(QObject* control, TAspect aspect, std::function<void()> show) {
  TBatches& batches = Batches();
  if (batches.Depth == 0) {
    show();
    return;
  }
  const std::pair<const QObject*, int> key(control, static_cast<int>(aspect));
  if (const auto found = batches.Positions.constFind(key); found != batches.Positions.constEnd()) {
    // A control deleted within the batch may leave its address to a new one: the entry is
    // taken over by whichever control lives there now.
    TPending& pending = batches.Pending[*found];
    pending.Control = control;
    pending.Show = std::move(show);
    return;
  }
  batches.Positions.insert(key, batches.Pending.size());
  batches.Pending.push_back({control, aspect, std::move(show)});
}

void SetText(QLabel* label, const QString& text) {
  Show(label, TAspect::Text, [label, text] {
    if (label->text() != text) label->setText(text);
  });
}

void SetEnabled(QWidget* widget, bool enabled) {
  if (!enabled && InBatch()) LeaveFocus(widget);
  Show(widget, TAspect::Enabled, [widget, enabled] {
    // The widget's own setting, not what a disabled parent makes of it.
    if (widget->testAttribute(Qt::WA_ForceDisabled) == enabled) widget->setEnabled(enabled);
  });
}

void SetVisible(QWidget* widget, bool visible) {
  if (!visible && InBatch()) LeaveFocus(widget);
  Show(widget, TAspect::Visible, [widget, visible] {
    // Showing a control activates its layout, even while its window is not shown yet.
    if (widget->isHidden() == visible) widget->setVisible(visible);
  });
}

void SetEffectEnabled(QGraphicsEffect* effect, bool enabled) {
  Show(effect, TAspect::EffectEnabled, [effect, enabled] {
    if (effect->isEnabled() != enabled) effect->setEnabled(enabled);
  });
}

}  // namespace Look
