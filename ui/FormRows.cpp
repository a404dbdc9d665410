// The property rows: their disabled look, showing one property, and the pass that reads
// all seventeen from the selected camera.
#include <QCheckBox>
#include <QLabel>

#include "camera/FCameraLost.h"
#include "camera/FCameraReadBatch.h"
#include "ui/Artwork.h"
#include "ui/Palette.h"
#include "ui/Unit1.h"
#include "ui/ValueText.h"
#include "widgets/Look.h"
#include "widgets/MonochromeEffect.h"
#include "widgets/TrackBar.h"

namespace {

constexpr int kRowFontSize = 16;

// The row texts are black while enabled and grey while disabled: the labels take both
// colours from the rows' area, so switching them needs no palette change.
void SetRowText(QLabel* label, bool enabled) {
  Look::SetEnabled(label, enabled);
  Artwork::SetFontPixelSize(label, kRowFontSize);
}

void SetCheckBoxTextColour(QCheckBox* checkBox, QColor colour) {
  Look::Show(checkBox, Look::TAspect::TextColour,
             [checkBox, colour] { Artwork::SetTextColour(checkBox, colour); });
}

// Clears the flag however the pass ends, so that a failed read never leaves the rows'
// change handlers switched off.
class TSettingTrackBarsScope {
 public:
  explicit TSettingTrackBarsScope(bool& flag) : FFlag(flag) { FFlag = true; }
  ~TSettingTrackBarsScope() { FFlag = false; }
  TSettingTrackBarsScope(const TSettingTrackBarsScope&) = delete;
  TSettingTrackBarsScope& operator=(const TSettingTrackBarsScope&) = delete;

 private:
  bool& FFlag;
};

}  // namespace

void TFormMain::InitTrackBar(TMonochromeEffect* TrackbarMonoChrome, QWidget*, QLabel* TrackbarLabel,
                             TTrackBar* TrackBar, QCheckBox* CheckBoxAuto,
                             QLabel* TrackbarLabelValue) {
  SetRowText(TrackbarLabel, false);
  SetRowText(TrackbarLabelValue, false);
  Look::SetText(TrackbarLabelValue, QStringLiteral(" "));
  Look::SetEnabled(TrackBar, false);
  TrackBar->SetValue(0);
  Look::SetEnabled(CheckBoxAuto, false);
  Artwork::SetFontPixelSize(CheckBoxAuto, kRowFontSize);
  SetCheckBoxTextColour(CheckBoxAuto, Palette::kDisabledText);
  Look::SetEffectEnabled(TrackbarMonoChrome, true);
}

void TFormMain::SetTrackBar(TMonochromeEffect* TrackbarMonoChrome, QWidget*, QLabel* TrackbarLabel,
                            QLabel* TrackbarLabelValue, TTrackBar* TrackBar,
                            QCheckBox* CheckBoxAuto, LONG Position, const TFRange& Range,
                            bool Auto) {
  if (TraceMode) LogMe(QStringLiteral("SetTrackBar started"));
  SetRowText(TrackbarLabel, true);
  TrackBar->SetMin(Range.Min);
  TrackBar->SetMax(Range.Max);
  TrackBar->SetFrequency(Range.Delta);
  TrackBar->SetValue(Position);
  if (TraceMode) LogMe(ValueText::General(TrackBar->Value()));
  Look::SetEnabled(TrackBar, !Auto);
  SetRowText(TrackbarLabelValue, true);
  Look::SetText(TrackbarLabelValue, ValueText::Integer(TrackBar->Value()));
  Look::SetEnabled(CheckBoxAuto, Range.Auto && Range.Manual);
  SetCheckBoxTextColour(CheckBoxAuto, Palette::kActiveText);
  CheckBoxAuto->setChecked(Auto);
  Look::SetEffectEnabled(TrackbarMonoChrome, false);
  if (TraceMode) LogMe(QStringLiteral("SetTrackBar ended"));
}

void TFormMain::SetTrackBars() {
  if (TraceMode) LogMe(QStringLiteral("SetTrackBars entered"));
  // Every row is reset and filled again: only where each ends up is shown.
  const Look::TBatch shownAtTheEnd;
  const TFCameraReadBatch oneRun;
  if (!SettingTrackBars) {
    const TSettingTrackBarsScope filling(SettingTrackBars);
    for (const TPropertyRowControls& controls : Rows) Look::SetText(controls.LabelValue, {});
    if (TraceMode) LogMe(QStringLiteral("Blanks done"));
    Look::SetVisible(LayoutFrequency, false);

    if (TraceMode) LogMe(QStringLiteral("Starting  InitTrackBar BLOCK"));
    try {
      for (const TPropertyRowControls& controls : Rows) {
        InitTrackBar(controls.Monochrome, controls.Layout, controls.Label, controls.TrackBar,
                     controls.CheckBox, controls.LabelValue);
      }
      if (TraceMode) LogMe(QStringLiteral("InitTrackBar BLOCK ended OK"));
    } catch (...) {
      // A row that cannot be reset keeps its look; the others are still read below.
      if (TraceMode) LogMe(QStringLiteral("*** InitTrackBar error"));
    }
    if (TraceMode) {
      LogMe(QStringLiteral("InitTrackBar group OK"));
      LogMe(QStringLiteral("Starting  SetTrackBar BLOCK"));
    }

    // A control that fails while its camera still answers is shown as one the camera lacks,
    // and the others are read; a camera that is gone fails the whole re-read, as it must for
    // the refresh to look for the cameras that are there.
    const auto unlessCameraLost = [](auto&& read) {
      try {
        read();
      } catch (const std::exception& error) {
        if (IsCameraLostError(error)) throw;
      }
    };
    const std::string deviceName = FCamera->GetDeviceName();
    if (!deviceName.empty()) {
      unlessCameraLost([this] {
        if (FCamera->GetPowerLineFrequencySupported()) {
          Look::SetVisible(LayoutFrequency, true);
          validatefrequency();
        }
      });
      if (TraceMode) {
        LogMe(QStringLiteral("FCamera.DeviceName is not BLANK"));
        LogMe(QString::fromStdString(deviceName));
      }
      TFCamera& camera = *FCamera;
      for (const std::size_t index : kPropertyReadOrder) {
        const TPropertyRowControls& controls = Rows[index];
        const TPropertyRow& row = *controls.Row;
        unlessCameraLost([&] {
          if (!(camera.*row.GetSupported)()) return;
          const LONG position = (camera.*row.GetValue)();
          const TFRange range = (camera.*row.GetRange)();
          const bool automatic = (camera.*row.GetAuto)();
          SetTrackBar(controls.Monochrome, controls.Layout, controls.Label, controls.LabelValue,
                      controls.TrackBar, controls.CheckBox, position, range, automatic);
          SupportStatus = 2;
        });
      }
    }
  }
  if (TraceMode) LogMe(QStringLiteral("Calling SetSupportStatus"));
  SetSupportStatus();
}

TPropertyRowControls* TFormMain::FindRow(const QObject* control) {
  for (TPropertyRowControls& controls : Rows) {
    if (controls.TrackBar == control || controls.CheckBox == control) return &controls;
  }
  return nullptr;
}
