#pragma once

#include <QFont>

#include "widgets/OneLineLabel.h"

// A one-line label that shows its whole text in whatever width its layout gives it: a text
// wider than the label is drawn in a smaller font, never cut. Its font stays what was set;
// only the drawing shrinks.
class TFittingLabel : public TOneLineLabel {
 public:
  using TOneLineLabel::TOneLineLabel;

  // The font the text is drawn with at the label's present width.
  QFont DrawnFont() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
