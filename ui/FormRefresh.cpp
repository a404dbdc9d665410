// The refresh timer: every tick re-reads the selected camera, so that the rows follow what
// other programs (and the driver's own dialog) change, and rebuilds the camera list when the
// camera is gone. The focus and the format selection survive the re-read.
#include <QCheckBox>
#include <QTimer>

#include "camera/FCameraReadBatch.h"
#include "ui/ListBox.h"
#include "ui/LiveCam.h"
#include "ui/Unit1.h"
#include "widgets/ButtonImage.h"
#include "widgets/Look.h"

void TFormMain::ConnectActionHandlers() {
  const struct {
    TButtonImage* Button;
    void (TFormMain::*Handler)();
  } actions[] = {
      {ButtonRead, &TFormMain::ButtonReadClick},
      {ButtonWrite, &TFormMain::ButtonWriteClick},
      {ButtonWindows, &TFormMain::ButtonWindowsClick},
      {ButtonDefaultValues, &TFormMain::ButtonDefaultValuesClick},
  };
  for (const auto& action : actions) {
    const auto handler = action.Handler;
    connect(action.Button, &TImage::clicked, this,
            [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
  }
  // The tick lets nothing through; the guard is the last line all the same.
  connect(RefreshTimer, &QTimer::timeout, this,
          [this] { Guarded([this] { RefreshTimerTimer(); }); });
  RefreshTimer->start();
}

void TFormMain::RefreshTimerTimer() {
  if (TraceMode) {
    LogMe(QStringLiteral(" "));
    LogMe(QStringLiteral("RefreshTimer routine entered"));
  }
  // A camera test on screen owns the device; re-reading it would disturb the test.
  if (const TLivecamForm* const livecam = LivecamForm.data(); livecam && livecam->GetTag() == 1) {
    return;
  }
  // A tick that finds the camera as it was leaves the screen as it was, and reads the camera
  // in one run: what another program changed since the last tick is read all the same.
  const Look::TBatch shownAtTheEnd;
  const TFCameraReadBatch oneRun;

  if (TraceMode) LogMe(QStringLiteral(" Determining LastFocussedControl"));
  FormFocusChanged();
  if (TraceMode) LogMe(QStringLiteral(" Determine LastFocussedControl successful"));

  if (KeepSynced->isChecked()) {
    try {
      if (TraceMode) LogMe(QStringLiteral(" Determining LastResolutionIndex"));
      LastResolutionIndex = ComboBoxFormat->GetItemIndex();
      if (TraceMode) {
        LogMe(QStringLiteral("Timer event, ComboBoxFormat.ItemIndex=%1").arg(LastResolutionIndex));
        LogMe(QStringLiteral(" Determine successful"));
      }
    } catch (...) {
      if (TraceMode) LogMe(QStringLiteral(" Determine NOT successful"));
    }

    try {
      if (TraceMode) LogMe(QStringLiteral(" Attempting re-read of camera settings"));
      ComboBoxCameraChange();
      if (TraceMode) LogMe(QStringLiteral(" Re-read of camera settings successful"));
    } catch (...) {
      // The camera is gone (or no longer answers): look for the cameras that are there.
      if (TraceMode) {
        LogMe(
            QStringLiteral(" Re-read of camera settings NOT successful - now refreshing devices"));
        LogMe(QStringLiteral("  Attempting to refresh devices"));
      }
      try {
        RefreshDevices();
        if (TraceMode) LogMe(QStringLiteral("  Refresh devices successful"));
      } catch (...) {
        if (TraceMode) LogMe(QStringLiteral("  Refresh devices NOT successful"));
      }
    }
    SetTheControl(LastFocussedControl);
  }
  if (TraceMode) LogMe(QStringLiteral("RefreshTimer routine successful"));
}

void TFormMain::FormFocusChanged() {
  try {
    QWidget* const focused = focusWidget();
    if (focused == nullptr) return;
    LastFocussedControl = focused;
    if (TraceMode) {
      LogMe(QStringLiteral("Aktives Control: ") +
            QLatin1String(focused->metaObject()->className()) + QStringLiteral(" und auch ") +
            focused->objectName());
    }
  } catch (...) {
    // Not knowing the focus only means it is not given back.
  }
}

void TFormMain::SetTheControl(QWidget* MyControl) {
  if (MyControl == nullptr) return;
  FFocusHandOver->Start(MyControl);
}
