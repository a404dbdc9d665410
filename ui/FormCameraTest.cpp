// The camera test: the selected camera's live picture at the selected format in the test
// window, repainted once per video frame, with the camera icon blinking while it runs.
#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <limits>

#include "ui/ListBox.h"
#include "ui/LiveCam.h"
#include "ui/PaintBox.h"
#include "ui/TimerInterval.h"
#include "ui/Unit1.h"
#include "widgets/Image.h"

namespace {

constexpr int kGlowBlinkMs = 500;
// A format that does not tell its frame period (AvgTimePerFrame 0, or under a millisecond)
// is repainted at this period, so that its picture still shows and a hidden test window
// still ends the test.
constexpr int kUnknownFramePeriodMs = 33;

// Milliseconds per frame from a frame period in units of 100 ns.
int FramePeriodMs(REFERENCE_TIME AvgTimePerFrame) {
  const REFERENCE_TIME milliseconds = AvgTimePerFrame / 10000;
  if (milliseconds <= 0) return kUnknownFramePeriodMs;
  return static_cast<int>(std::min<REFERENCE_TIME>(milliseconds, std::numeric_limits<int>::max()));
}

// A top-down format reports a negative height; its picture is as high.
QSize VideoSize(const TFCameraFormat& format) {
  return {format.Width, static_cast<int>(std::min<long long>(std::llabs(format.Height),
                                                             std::numeric_limits<int>::max()))};
}

}  // namespace

void TFormMain::ConnectCameraTestHandlers() {
  connect(ButtonTestCam, &TImage::clicked, this,
          [this] { Guarded([this] { ButtonTestCamClick(); }); });
  // Both take no mouse clicks as laid out; their handler is the icon's all the same.
  for (TImage* image : {Image1, CameraOff}) {
    connect(image, &TImage::clicked, this, [this] { Guarded([this] { Image1Click(); }); });
  }
  ButtonTestCam->installEventFilter(this);
  connect(ComboBoxFormat, &QListWidget::itemDoubleClicked, this,
          [this] { Guarded([this] { ComboBoxFormatDblClick(); }); });
  connect(CameraTimer, &QTimer::timeout, this, [this] { Guarded([this] { CameraTimerTimer(); }); });
  connect(CameraGlowTimer, &QTimer::timeout, this,
          [this] { Guarded([this] { CameraGlowTimerTimer(); }); });
  connect(PaintBox, &TPaintBox::Paint, this, [this](QPainter& Canvas) { PaintBoxPaint(Canvas); });
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ButtonTestCam) {
    if (event->type() == QEvent::Enter) ButtonTestCamMouseEnter();
    if (event->type() == QEvent::Leave) ButtonTestCamMouseLeave();
  }
  return QWidget::eventFilter(watched, event);
}

void TFormMain::ButtonTestCamMouseEnter() {
  CameraCouldStartGlow->setEnabled(true);
}

void TFormMain::ButtonTestCamMouseLeave() {
  CameraCouldStartGlow->setEnabled(false);
}

void TFormMain::ButtonTestCamClick() {
  CameraIconClick(QStringLiteral("Hide 3"));
}

void TFormMain::Image1Click() {
  CameraIconClick(QStringLiteral("Hide 2"));
}

void TFormMain::CameraIconClick(const QString& hideTrace) {
  TLivecamForm* const livecam = LivecamForm.data();
  if (livecam && livecam->isVisible()) {
    livecam->hide();
    if (TraceMode) LogMe(hideTrace);
  } else {
    StartDevice();
  }
}

void TFormMain::ComboBoxFormatDblClick() {
  const TLivecamForm* const livecam = LivecamForm.data();
  if (!livecam || !livecam->isVisible()) StartDevice();
}

void TFormMain::StartDevice() {
  const int formatIndex = ComboBoxFormat->GetItemIndex();
  if (formatIndex < 0 || ComboBoxFormat->Count() == 0) return;
  TLivecamForm* const livecam = LivecamForm.data();
  // The test window comes after the main window; until it is attached there is nowhere to
  // show a test.
  TPaintBox* const paintBox = PaintBox.data();
  if (!livecam || !paintBox) return;
  if (paintBox->parentWidget() != livecam->CameraPanel) {
    paintBox->setParent(livecam->CameraPanel);
    paintBox->show();
  }
  CameraTimer->stop();
  CameraOff->show();

  FCamera->SetActive(false);
  const TFCameraFormats formats = FCamera->GetSupportedFormats();
  // The list was filled from the same formats, unless the camera changed them since: the
  // selected one is gone, which the user is told; the next re-read brings the list up to date.
  if (formatIndex >= static_cast<int>(formats.size())) throw EFCameraError("Format not found");
  FCamera->SetFormat(formats[static_cast<std::size_t>(formatIndex)]);
  const QSize videoSize = VideoSize(FCamera->GetFormat());
  paintBox->resize(videoSize);
  livecam->resize(videoSize);

  try {
    if (TraceMode) LogMe(QStringLiteral("FCamera.Active := True"));
    FCamera->SetActive(true);
    if (TraceMode) LogMe(QStringLiteral("FCamera.Run"));
    FCamera->Run();
    // Frames through the sample grabber: the capture runs, but there is no picture to show.
    if (FCamera->GetCaptureType() == ctGrabber) return;
    CameraTimer->setInterval(FramePeriodMs(FCamera->GetFormat().AvgTimePerFrame));
    CameraTimer->start();
    CameraOff->hide();
    SetTimerInterval(*CameraGlowTimer, kGlowBlinkMs);
    livecam->setWindowTitle(ComboBoxCamera->SelectedText() + QStringLiteral(" @ ") +
                            ComboBoxFormat->SelectedText());
    livecam->CentreOnScreen(this);
    livecam->show();
  } catch (...) {
    ShowMessageSimple(ComboBoxCamera->SelectedText() +
                      QStringLiteral(" used in another app. Change settings here, observe "
                                     "results there!"));
    CameraTimer->setInterval(0);
    CameraTimer->stop();
    CameraOff->show();
    StopDevice();
  }
}

void TFormMain::StopDevice() {
  if (TraceMode) LogMe(QStringLiteral("StopDevice"));
  CameraTimer->stop();
  CameraOff->show();
  SetTimerInterval(*CameraGlowTimer, 0);
  CameraIconGlow->setEnabled(false);
  CameraIconInnerGlow->setEnabled(false);
  if (!FCamera->GetActive()) return;
  try {
    FCamera->Stop();
  } catch (...) {
    // A graph that cannot stop (the camera went away) is released all the same, so the
    // camera is not left held; the error is still reported.
    FCamera->SetActive(false);
    throw;
  }
  FCamera->SetActive(false);
}

void TFormMain::CameraTimerTimer() {
  if (TraceMode) LogMe(QStringLiteral("CameraTimerTimer"));
  TLivecamForm* const livecam = LivecamForm.data();
  if (!livecam || !livecam->isVisible()) {
    StopDevice();
    return;
  }
  try {
    InvalidatePaintBox();
  } catch (...) {
    // The camera can no longer be read (it was unplugged): the test ends here, so that the
    // error is reported once instead of at every frame.
    livecam->hide();
    StopDevice();
    throw;
  }
}

void TFormMain::CameraGlowTimerTimer() {
  CameraIconGlow->setEnabled(!CameraIconGlow->isEnabled());
  CameraIconInnerGlow->setEnabled(!CameraIconGlow->isEnabled());
}

void TFormMain::FCameraImageAvailable(TFCamera&, double) {
  // Window work belongs to the user-interface thread. The streaming thread must never wait
  // for it (deactivation on that thread waits for this handler), so the notice is posted.
  if (FImageAvailablePending.exchange(true)) return;
  QMetaObject::invokeMethod(
      this, [this] { ImageAvailableOnUiThread(); }, Qt::QueuedConnection);
}

void TFormMain::ImageAvailableOnUiThread() {
  FImageAvailablePending.store(false);
  Guarded([this] {
    if (TraceMode) LogMe(QStringLiteral("FCameraImageAvailable"));
    InvalidatePaintBox();
  });
}

void TFormMain::InvalidatePaintBox() {
  TLivecamForm* const livecam = LivecamForm.data();
  if (!livecam) return;
  // Also undoes a resize by hand.
  livecam->resize(VideoSize(FCamera->GetFormat()));
  // The paint box's own area of the test window, drawn over without erasing first.
  if (TPaintBox* const paintBox = PaintBox.data()) paintBox->update();
}

void TFormMain::PaintBoxPaint(QPainter& Canvas) {
  if (!FCamera->GetActive()) return;
  try {
    const QImage bitmap = FCamera->CurrentImageToBitmap();
    const QRect area(0, 0, bitmap.width(), bitmap.height());
    Canvas.setOpacity(1.0);
    Canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
    Canvas.drawImage(area, bitmap, area);
  } catch (...) {
    // The paint box keeps its previous picture.
    if (TraceMode) LogMe(QStringLiteral("PaintBoxPaint Error"));
  }
}
