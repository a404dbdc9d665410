#pragma once

#include <QLabel>

// A one-line label whose size hints do not depend on its text: one line of its font high and
// only as wide as its layout makes it. Measuring text is the costliest part of laying out a
// window, and for a label in a column of fixed width the measured width is never used; nor
// does a new text then lay the window out again.
class TOneLineLabel : public QLabel {
 public:
  using QLabel::QLabel;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
};
