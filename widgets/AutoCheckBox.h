#pragma once

#include <QCheckBox>

// The "Auto" box of a property row. The seventeen are alike: the first one measures its
// text, the others take its answer. The answer is kept per text, font and style, so a box
// that differs measures for itself.
class TAutoCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

  QSize sizeHint() const override;
};
