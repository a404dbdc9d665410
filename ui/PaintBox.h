#pragma once

#include <QWidget>

class QPainter;

// A surface that its owner draws on: each paint event hands the owner a painter through Paint.
// The owner draws every pixel it means to show, so the background is not erased first: a frame
// that cannot be drawn leaves the previous picture in place.
class TPaintBox : public QWidget {
  Q_OBJECT

 public:
  explicit TPaintBox(QWidget* parent = nullptr);

 signals:
  void Paint(QPainter& Canvas);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
