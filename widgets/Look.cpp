#include "widgets/Look.h"

#include <QGraphicsEffect>
#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

namespace Look {
namespace {

// One aspect of one control, set within a batch: the value of the setters of this file, or
// the caller's own show.
struct TPending {
  const QObject* Key;  // the control's address when it was set
  TAspect Aspect;
  QPointer<QObject> Control;
  bool Flag = false;
  QString Text;
  std::function<void()> Show;
};

// Where each control's aspect is in the pending list: open addressing over the list's
// indexes. A refresh tick sets a few hundred aspects, once every few seconds; the table and
// the lists keep their storage from one batch to the next, so a batch allocates nothing for
// them.
class TPositions {
 public:
  // The index of the entry for the key, or, when there is none, the index it gets: the end
  // of the list, which the caller then appends.
  std::size_t Find(const QObject* key, TAspect aspect, const std::vector<TPending>& pending) {
    if (2 * (pending.size() + 1) > FSlots.size()) Rebuild(pending, 2 * FSlots.size());
    for (std::size_t slot = Hash(key, aspect);; slot = (slot + 1) & (FSlots.size() - 1)) {
      const std::uint32_t entry = FSlots[slot];
      if (entry == 0) {
        FSlots[slot] = static_cast<std::uint32_t>(pending.size() + 1);
        return pending.size();
      }
      const TPending& found = pending[entry - 1];
      if (found.Key == key && found.Aspect == aspect) return entry - 1;
    }
  }

  void Clear() { std::fill(FSlots.begin(), FSlots.end(), 0); }

 private:
  std::size_t Hash(const QObject* key, TAspect aspect) const {
    // A multiplication spreads the address over the high bits, which are folded down.
    std::uint64_t bits =
        (reinterpret_cast<std::uintptr_t>(key) + static_cast<std::uint64_t>(aspect)) *
        0x9E3779B97F4A7C15ull;
    bits ^= bits >> 32;
    return static_cast<std::size_t>(bits) & (FSlots.size() - 1);
  }

  void Rebuild(const std::vector<TPending>& pending, std::size_t size) {
    FSlots.assign(size, 0);
    for (std::size_t i = 0; i < pending.size(); ++i) {
      std::size_t slot = Hash(pending[i].Key, pending[i].Aspect);
      while (FSlots[slot] != 0) slot = (slot + 1) & (size - 1);
      FSlots[slot] = static_cast<std::uint32_t>(i + 1);
    }
  }

  std::vector<std::uint32_t> FSlots = std::vector<std::uint32_t>(512);  // entry index + 1
};

struct TBatches {
  int Depth = 0;
  // In the order of first setting, so that a commit applies changes in the order a pass made
  // them.
  std::vector<TPending> Pending;
  std::vector<TPending> Spare;  // the storage of the last commit, for the next batch
  TPositions Positions;
};

TBatches batches;

void ApplyText(QLabel* label, const QString& text) {
  if (label->text() != text) label->setText(text);
}

void ApplyEnabled(QWidget* widget, bool enabled) {
  // The widget's own setting, not what a disabled parent makes of it.
  if (widget->testAttribute(Qt::WA_ForceDisabled) == enabled) widget->setEnabled(enabled);
}

void ApplyVisible(QWidget* widget, bool visible) {
  // Showing a control activates its layout, even while its window is not shown yet.
  if (widget->isHidden() == visible) widget->setVisible(visible);
}

void ApplyEffectEnabled(QGraphicsEffect* effect, bool enabled) {
  if (effect->isEnabled() != enabled) effect->setEnabled(enabled);
}

void Apply(const TPending& change) {
  QObject* const control = change.Control.data();
  if (!control) return;
  switch (change.Aspect) {
    case TAspect::Text:
      ApplyText(static_cast<QLabel*>(control), change.Text);
      break;
    case TAspect::Enabled:
      ApplyEnabled(static_cast<QWidget*>(control), change.Flag);
      break;
    case TAspect::Visible:
      ApplyVisible(static_cast<QWidget*>(control), change.Flag);
      break;
    case TAspect::EffectEnabled:
      ApplyEffectEnabled(static_cast<QGraphicsEffect*>(control), change.Flag);
      break;
    default:
      change.Show();
  }
}

void Commit() {
  // Taken out first: showing a change may set other controls, which then apply at once.
  std::vector<TPending> committing = std::move(batches.Spare);
  committing.swap(batches.Pending);
  batches.Positions.Clear();
  for (const TPending& change : committing) Apply(change);
  committing.clear();
  batches.Spare = std::move(committing);
}

// The entry for this aspect of the control in the open batch.
TPending& Pending(QObject* control, TAspect aspect) {
  const std::size_t index = batches.Positions.Find(control, aspect, batches.Pending);
  if (index == batches.Pending.size()) {
    batches.Pending.push_back({control, aspect, control, false, {}, {}});
    return batches.Pending.back();
  }
  TPending& pending = batches.Pending[index];
  // A control deleted within the batch may leave its address to a new one: the entry is
  // taken over by whichever control lives there now.
  if (pending.Control.data() != control) pending.Control = control;
  return pending;
}

void LeaveFocus(QWidget* widget) {
  QWidget* const focused = widget->window()->focusWidget();
  if (focused && (focused == widget || widget->isAncestorOf(focused))) focused->clearFocus();
}

// A flag of a control, set now or noted for the end of the batch. A widget that a batch
// disables or hides gives up the keyboard focus at once.
template <typename Control>
void SetFlag(Control* control, TAspect aspect, bool value, void (*apply)(Control*, bool)) {
  if (batches.Depth == 0) {
    apply(control, value);
    return;
  }
  if constexpr (std::is_base_of_v<QWidget, Control>) {
    if (!value) LeaveFocus(control);
  }
  Pending(control, aspect).Flag = value;
}

}  // namespace

TBatch::TBatch() {
  ++batches.Depth;
}

TBatch::~TBatch() {
  if (--batches.Depth == 0) Commit();
}

bool InBatch() {
  return batches.Depth > 0;
}

void Show(QObject* control, TAspect aspect, std::function<void()> show) {
  if (!InBatch()) {
    show();
    return;
  }
  Pending(control, aspect).Show = std::move(show);
}

void SetText(QLabel* label, const QString& text) {
  if (!InBatch()) {
    ApplyText(label, text);
    return;
  }
  Pending(label, TAspect::Text).Text = text;
}

void SetEnabled(QWidget* widget, bool enabled) {
  SetFlag(widget, TAspect::Enabled, enabled, ApplyEnabled);
}

void SetVisible(QWidget* widget, bool visible) {
  SetFlag(widget, TAspect::Visible, visible, ApplyVisible);
}

void SetEffectEnabled(QGraphicsEffect* effect, bool enabled) {
  SetFlag(effect, TAspect::EffectEnabled, enabled, ApplyEffectEnabled);
}

}  // namespace Look
