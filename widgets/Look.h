#pragma once
// What a control shows is changed only when it really changes. A control told a value it
// already shows does nothing, so it is neither repainted nor laid out again.
//
// A batch goes further: a pass that takes many controls through several states on its way
// (blanked, disabled, then filled in again) shows only where each control ends up, once, when
// the outermost batch closes. What the pass does stays as it is: every setter still runs, in
// its order; only the drawing and the layout of states that nobody could see are left out.
//
// User-interface thread only.

#include <QString>
#include <functional>

class QGraphicsEffect;
class QLabel;
class QObject;
class QWidget;

namespace Look {

// Open for the object's lifetime. Batches nest; the outermost one shows the changes when it
// closes, even when an error leaves it. A batch must not span an event loop (a modal window)
// while its controls are on screen: nothing it changes is shown until it closes.
class TBatch {
 public:
  TBatch();
  ~TBatch();
  TBatch(const TBatch&) = delete;
  TBatch& operator=(const TBatch&) = delete;
};

bool InBatch();

// The aspects of a control that are set apart from one another; within a batch the last
// setting of each aspect of each control wins.
enum class TAspect { Text, Enabled, Visible, EffectEnabled, TextColour, Drawing, Items };

// Runs show now, or, within a batch, once when the batch closes: the last show given for this
// control and aspect, and only if the control still exists. A control that works out itself
// whether its picture changed (its own drawing, its items) puts that check here.
void Show(QObject* control, TAspect aspect, std::function<void()> show);

void SetText(QLabel* label, const QString& text);
// Disabling or hiding the control that has the keyboard focus takes the focus away at once,
// also within a batch, as the control would lose it if it were disabled right away: code that
// notes the focus before a pass and gives it back afterwards relies on that.
void SetEnabled(QWidget* widget, bool enabled);
void SetVisible(QWidget* widget, bool visible);
void SetEffectEnabled(QGraphicsEffect* effect, bool enabled);

}  // namespace Look
