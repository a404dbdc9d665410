#pragma once

#include <QGraphicsDropShadowEffect>

// The toolkit's drop shadow, worked out once per picture it falls from. The window's shadows
// and glows sit on small image buttons whose few pictures repeat, and blurring them anew at
// every paint took a tenth of the window's first paint; the shadow and the picture are kept
// together and drawn as one image while the picture, the colour, the offset and the blur stay.
class TCachedDropShadowEffect : public QGraphicsDropShadowEffect {
  Q_OBJECT

 public:
  using QGraphicsDropShadowEffect::QGraphicsDropShadowEffect;

 protected:
  void draw(QPainter* painter) override;
};
