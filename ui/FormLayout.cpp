// The window's width rule: it keeps its height and sheds columns as it gets narrower.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>

#include "ui/Unit1.h"
#include "widgets/Look.h"

namespace {
constexpr int kWidthForLeftColumn = 300;
constexpr int kWidthForCheckBoxes = 450;
constexpr int kWidthForValues = 550;
constexpr int kWidthForNames = 650;
}  // namespace

void TFormMain::FormResize() {
  const int windowWidth = width();
  if (TraceMode) LogMe(QString::number(windowWidth));
  try {
    if (height() != kFixedHeight) resize(windowWidth, kFixedHeight);
    const bool narrow = windowWidth < kWidthForLeftColumn;
    Look::SetVisible(LayoutListe, !narrow);
    Look::SetVisible(MessagePanel, !narrow);
    if (narrow) DressBackButton();
    Look::SetVisible(BackButton, narrow);
    for (const TPropertyRowControls& controls : Rows) {
      Look::SetVisible(controls.CheckBox, windowWidth >= kWidthForCheckBoxes);
      Look::SetVisible(controls.ValueColumn, windowWidth >= kWidthForValues);
      Look::SetVisible(controls.Label, windowWidth >= kWidthForNames);
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
