// Camera, format and power-frequency selection.
#include <QLabel>
#include <cstdint>
#include <cstdlib>

#include "camera/FCameraReadBatch.h"
#include "ui/ApplicationTitle.h"
#include "ui/ListBox.h"
#include "ui/ListTexts.h"
#include "ui/LiveCam.h"
#include "ui/Unit1.h"
#include "widgets/ButtonImage.h"
#include "widgets/Image.h"
#include "widgets/Look.h"

namespace {

struct TFrequencyItem {
  const char* Text;
  TFPowerLineFrequency Value;
};
// Index in the list = position here.
constexpr TFrequencyItem kFrequencyItems[] = {{"PAL - 50Hz", pf50Hz}, {"NTSC - 60Hz", pf60Hz}};

}  // namespace

void TFormMain::ComboBoxCameraChange() {
  if (TraceMode) LogMe(QStringLiteral("ComboBoxCameraChange started"));
  // The lists and rows are emptied and filled again: only where they end up is shown.
  const Look::TBatch shownAtTheEnd;
  const TFCameraReadBatch oneRun;
  try {
    FormResize();
  } catch (...) {
    // The layout pass never stops a camera from being read.
  }
  if (ComboBoxCamera->GetItemIndex() < 0) {
    ComboBoxFormat->Clear();
    return;
  }
  if (TraceMode) {
    LogMe(QStringLiteral("   "));
    LogMe(QStringLiteral("Starting SetFormats"));
  }
  SetFormats();
  if (TraceMode) LogMe(QStringLiteral("Starting SetTrackBars"));
  SetTrackBars();
  if (ComboBoxFormat->Count() > 0) RestoreFormatSelection();
  setWindowTitle(kApplicationTitle);
  if (TraceMode) LogMe(QStringLiteral("Doing the \"if not(ComboBoxFormat.Items.c\""));
  if (ComboBoxFormat->Count() == 0) {
    if (TraceMode) LogMe(QStringLiteral("in it"));
    SetActionButtonsEnabled(false);
    Look::SetEnabled(ButtonTestCam, false);
    Look::SetText(SupportLabel, QStringLiteral("Camera not configurable"));
    Look::SetText(StatusLabel, QStringLiteral(" "));
  }
  if (TraceMode) LogMe(QStringLiteral("Starting FormResize"));
  FormResize();
  if (TraceMode) LogMe(QStringLiteral("ComboBoxCameraChange done"));
}

void TFormMain::SetFormats() {
  ComboBoxFormat->Clear();
  ComboBoxFormat->SetHeight(0);
  const TListBoxUpdate batch(*ComboBoxFormat);
  FCamera->SetActive(false);
  FCamera->SetDeviceName(ComboBoxCamera->GetItemIndex() >= 0
                             ? ComboBoxCamera->SelectedText().toStdString()
                             : std::string());
  ComboBoxFormat->Clear();
  ComboBoxFormat->SetHeight(0);
  const bool hasDevice = !FCamera->GetDeviceName().empty();
  Look::SetEnabled(ComboBoxFormat, hasDevice);
  if (!hasDevice) return;

  const TFCameraFormats formats = FCamera->GetSupportedFormats();
  for (const TFCameraFormat& format : formats) {
    // A top-down image reports a negative height; its size is the same. Widened first: the
    // lowest height has no positive counterpart of its own width.
    const std::int64_t height = std::abs(std::int64_t{format.Height});
    ComboBoxFormat->AddItem(ListTexts::FormatItemText(format.Width, height, format.AvgTimePerFrame,
                                                      format.BitsPerPixel),
                            FormatIcon(height), ListTexts::kFormatItemHeight,
                            ListTexts::kFormatItemFontSize);
    ComboBoxFormat->SetHeight(ComboBoxFormat->GetHeight() + ListTexts::kFormatItemHeight);
  }
  if (ComboBoxFormat->GetHeight() <= 0) {
    SupportStatus = 0;
  } else {
    if (TraceMode) LogMe(QString::number(ComboBoxFormat->GetHeight()));
    ComboBoxFormat->SetHeight(ListTexts::FinishedFormatListHeight(ComboBoxFormat->GetHeight()));
    SupportStatus = 1;
  }
  SetSupportStatus();
}

QPixmap TFormMain::FormatIcon(std::int64_t height) const {
  const QString name = ListTexts::FormatIconName(height);
  for (const TImage* icon : {res_1080, res_720, res_pal, res_vga, res_ega}) {
    if (icon->objectName() == name) return icon->Bitmap();
  }
  return {};
}

void TFormMain::RestoreFormatSelection() {
  if (!ComboBoxFormat->SetItemIndex(LastResolutionIndex)) ComboBoxFormat->SetItemIndex(0);
}

void TFormMain::ComboBoxFormatChange() {
  if (TraceMode) LogMe(QStringLiteral("ComboBoxFormatChange"));
  // The test window comes after the main window; until it exists there is none to hide.
  if (LivecamForm) {
    LivecamForm->hide();
    if (TraceMode) LogMe(QStringLiteral("Hide 4"));
  }
  SetSupportStatus();
}

void TFormMain::SetFrequencies() {
  const TListBoxUpdate batch(*ComboBoxFrequency);
  ComboBoxFrequency->Clear();
  for (const TFrequencyItem& item : kFrequencyItems) {
    ComboBoxFrequency->AddItem(QLatin1String(item.Text), herz->Bitmap(),
                               ListTexts::kFrequencyItemHeight, ListTexts::kFrequencyItemFontSize);
  }
}

void TFormMain::ComboBoxFrequencyClick() {
  if (!FCamera->GetPowerLineFrequencySupported()) return;
  const int index = ComboBoxFrequency->GetItemIndex();
  if (index >= 0 && index < static_cast<int>(std::size(kFrequencyItems))) {
    FCamera->SetPowerLineFrequency(kFrequencyItems[index].Value);
  }
  validatefrequency();
}

void TFormMain::validatefrequency() {
  if (!FCamera->GetPowerLineFrequencySupported()) return;
  for (int index = 0; index < static_cast<int>(std::size(kFrequencyItems)); ++index) {
    if (FCamera->GetPowerLineFrequency() == kFrequencyItems[index].Value) {
      ComboBoxFrequency->SetItemIndex(index);
    }
  }
}
