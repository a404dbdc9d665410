#include "ui/LiveCam.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

TLivecamForm::TLivecamForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("LivecamForm"));
  setWindowTitle(QStringLiteral("Webcam test"));
  // Closing the main window ends the program, whether or not a test is on screen.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(kClientWidth, kClientHeight);
  CentreOnScreen();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  CameraPanel = new QWidget(this);
  CameraPanel->setObjectName(QStringLiteral("CameraPanel"));
  layout->addWidget(CameraPanel);
}

void TLivecamForm::CentreOnScreen(const QWidget* framedLike) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QSize outer = frameGeometry().size();
  if (outer == size() && framedLike) {
    outer += framedLike->frameGeometry().size() - framedLike->size();
  }
  QRect placed(QPoint(0, 0), outer);
  placed.moveCenter(screen->availableGeometry().center());
  move(placed.topLeft());
}

void TLivecamForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FormShow();
}

void TLivecamForm::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  // Minimising sends a hide event of the window system's own while the window stays
  // visible: the test goes on, and the camera must not be re-read under it.
  if (!isVisible()) FormClose();
}

void TLivecamForm::FormShow() {
  FTag = 1;
}

void TLivecamForm::FormClose() {
  FTag = 0;
}
