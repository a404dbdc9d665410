// The window's width rule: it keeps its height and sheds columns as it gets narrower.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>

#include "ui/Unit1.h"

namespace {
constexpr int kWidthForLeftColumn = 300;
constexpr int kWidthForCheckBoxes = 450;
constexpr int kWidthForValues = 550;
constexpr int kWidthForNames = 650;

// Showing a control activates its layout even while the window itself is not shown yet, and
// every start-up passes here several times: a control already in the wanted state is left
// alone, which is all that the call would have changed.
void SetShown(QWidget* control, bool shown) {
  if (control->isHidden() == shown) control->setVisible(shown);
}
}  // namespace

void TFormMain::FormResize() {
  const int windowWidth = width();
  if (TraceMode) LogMe(QString::number(windowWidth));
  try {
    if (height() != kFixedHeight) resize(windowWidth, kFixedHeight);
    const bool narrow = windowWidth < kWidthForLeftColumn;
    SetShown(LayoutListe, !narrow);
    SetShown(MessagePanel, !narrow);
    SetShown(BackButton, narrow);
    for (const TPropertyRowControls& controls : Rows) {
      SetShown(controls.CheckBox, windowWidth >= kWidthForCheckBoxes);
      SetShown(controls.ValueColumn, windowWidth >= kWidthForValues);
      SetShown(controls.Label, windowWidth >= kWidthForNames);
    }
  } catch (...) {
    // The controls keep whatever visibility they reached.
  }
}

void TFormMain::BackButtonClick() {
  resize(kBackToFullWidth, height());
  FormResize();
}

void TFormMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Guarded([this] { FormResize(); });
}
