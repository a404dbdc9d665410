#pragma once

#include <QFont>
#include <QLabel>

// A one-line label that shows its whole text in whatever width its layout gives it: a text
// wider than the label is drawn in a smaller font, never cut. Its font stays what was set;
// only the drawing shrinks.
class TFittingLabel : public QLabel {
 public:
  using QLabel::QLabel;

  // The font the text is drawn with at the label's present width.
  QFont DrawnFont() const;

  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
