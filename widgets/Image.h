#pragma once

#include <QPixmap>
#include <QWidget>

// An image control: shows its own bitmap stretched over its whole area and reports clicks.
class TImage : public QWidget {
  Q_OBJECT

 public:
  explicit TImage(QWidget* parent = nullptr);

  // QPixmap copies share their data only until one side changes, so a later change of the
  // source never shows here.
  void SetBitmap(const QPixmap& bitmap);
  const QPixmap& Bitmap() const { return FBitmap; }

  QSize sizeHint() const override;

 signals:
  // A primary-button press on the control followed by its release over the control.
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

  // Runs once each time the pointer leaves the control. While a button is held Qt delivers
  // the leave only after the release, so leaving is also detected from the moves.
  virtual void DoMouseLeave() {}
  // Runs when the control is disabled while a button is held on it: the release will
  // never arrive, so whatever the press started has to be undone here.
  virtual void DoPressCancelled() {}

  bool IsPressed() const { return FPressedButtons != Qt::NoButton; }

 private:
  void NoteMouseOver(bool over);

  QPixmap FBitmap;
  Qt::MouseButtons FPressedButtons = Qt::NoButton;
  bool FMouseOver = false;
  bool FDeliveringClick = false;
};
