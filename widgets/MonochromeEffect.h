#pragma once

#include <QGraphicsEffect>

// Draws its widget in shades of grey, keeping each pixel's opacity. One pass over the
// widget's pixels with integer weights: cheap enough to run at every repaint, unlike the
// toolkit's general colour filter, which the window used to spend most of its first paint in.
class TMonochromeEffect : public QGraphicsEffect {
  Q_OBJECT

 public:
  using QGraphicsEffect::QGraphicsEffect;

  // The grey of one premultiplied ARGB pixel: the toolkit's grey weights (11, 16, 5) / 32
  // applied to red, green and blue; premultiplied values stay premultiplied.
  static quint32 Grey(quint32 pixel);

 protected:
  void draw(QPainter* painter) override;
};
