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
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect placed(QPoint(0, 0), size());
    placed.moveCenter(screen->availableGeometry().center());
    move(placed.topLeft());
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  CameraPanel = new QWidget(this);
  CameraPanel->setObjectName(QStringLiteral("CameraPanel"));
  layout->addWidget(CameraPanel);
}

void TLivecamForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FormShow();
}

void TLivecamForm::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  FormClose();
}

void TLivecamForm::FormShow() {
  FTag = 1;
}

void TLivecamForm::FormClose() {
  FTag = 0;
}
