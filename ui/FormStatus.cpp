// The support status: what the bottom strip, the action buttons and the property area say
// about the selected camera.
#include <QGraphicsColorizeEffect>
#include <QLabel>

#include "ui/ListBox.h"
#include "ui/Unit1.h"
#include "widgets/ButtonImage.h"
#include "widgets/Image.h"

namespace {
const QString kNotConfigurable = QStringLiteral("Camera not configurable");
const QString kConfigurable = QStringLiteral("Camera configurable");
}  // namespace

void TFormMain::SetSupportStatus() {
  const int formatIndex = ComboBoxFormat->GetItemIndex();
  if (TraceMode) {
    LogMe(QStringLiteral("SetSupportStatus entered"));
    LogMe(QStringLiteral("ComboBoxFormat.ItemIndex=%1").arg(formatIndex));
  }
  if (formatIndex >= 0 && ComboBoxFormat->Count() > 0) {
    if (formatIndex < ComboBoxFormat->Count()) {
      SelectedFormatText = ComboBoxFormat->ItemText(formatIndex);
    } else if (TraceMode) {
      LogMe(QStringLiteral("SetSupportStatus Error"));
    }
  }
  if (TraceMode) LogMe(QStringLiteral("SetSupportStatus passed 02"));

  if (SupportStatus == 1) {
    SetActionButtonsEnabled(false);
    ButtonTestCam->setEnabled(true);
    SupportLabel->setText(kNotConfigurable);
    StatusLabel->setText(QStringLiteral(" "));
    LayoutButtonTestCam->hide();
    MonochromeEffect->setEnabled(true);
    SetCameraTestCaption();
  }
  if (TraceMode) LogMe(QStringLiteral("SetSupportStatus passed 03"));

  if (SupportStatus == 0) {
    SetActionButtonsEnabled(false);
    ButtonTestCam->setEnabled(false);
    SupportLabel->setText(kNotConfigurable);
    StatusLabel->setText(QStringLiteral(" "));
    LayoutButtonTestCam->hide();
    MonochromeEffect->setEnabled(true);
  }
  if (TraceMode) LogMe(QStringLiteral("SetSupportStatus passed 04"));

  if (SupportStatus == 2) {
    SetActionButtonsEnabled(true);
    SupportLabel->setText(kConfigurable);
    StatusLabel->setText(QStringLiteral(" "));
    LayoutButtonTestCam->hide();
    MonochromeEffect->setEnabled(false);
    SetCameraTestCaption();
  }
  if (TraceMode) {
    LogMe(QStringLiteral("SetSupportStatus passed 05"));
    LogMe(QStringLiteral("SetSupportStatus passed 06"));
  }
}

void TFormMain::SetCameraTestCaption() {
  cameratestlabel->setText(QStringLiteral("Click camera icon to test ") +
                           ComboBoxCamera->SelectedText() + QStringLiteral("\r\n") +
                           QStringLiteral(" with resolution: ") + SelectedFormatText);
}
