// The support status: what the bottom strip, the action buttons and the property area say
// about the selected camera.
#include <QLabel>

#include "ui/ListBox.h"
#include "ui/Unit1.h"
#include "widgets/ButtonImage.h"
#include "widgets/Image.h"
#include "widgets/Look.h"
#include "widgets/MonochromeEffect.h"

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
    ShowConfigurable(false);
    Look::SetEnabled(ButtonTestCam, true);
    SetCameraTestCaption();
  }
  if (TraceMode) LogMe(QStringLiteral("SetSupportStatus passed 03"));

  if (SupportStatus == 0) {
    ShowConfigurable(false);
    Look::SetEnabled(ButtonTestCam, false);
  }
  if (TraceMode) LogMe(QStringLiteral("SetSupportStatus passed 04"));

  if (SupportStatus == 2) {
    ShowConfigurable(true);
    SetCameraTestCaption();
  }
  if (TraceMode) {
    LogMe(QStringLiteral("SetSupportStatus passed 05"));
    LogMe(QStringLiteral("SetSupportStatus passed 06"));
  }
}

// What every status shows alike: the action buttons, the support text, the cleared status
// text, the camera-test area kept out of sight and the grey-scale look of the rows.
void TFormMain::ShowConfigurable(bool configurable) {
  SetActionButtonsEnabled(configurable);
  Look::SetText(SupportLabel, configurable ? kConfigurable : kNotConfigurable);
  Look::SetText(StatusLabel, QStringLiteral(" "));
  Look::SetVisible(LayoutButtonTestCam, false);
  Look::SetEffectEnabled(MonochromeEffect, !configurable);
}

void TFormMain::SetCameraTestCaption() {
  Look::SetText(cameratestlabel, QStringLiteral("Click camera icon to test ") +
                                     ComboBoxCamera->SelectedText() + QStringLiteral("\r\n") +
                                     QStringLiteral(" with resolution: ") + SelectedFormatText);
}
