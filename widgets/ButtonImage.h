#pragma once

#include <QPointer>

#include "widgets/Image.h"

// A push button made of pictures: shows the bitmap of ImageDown while pressed and the one of
// ImageUp otherwise. The referenced images are not owned; they usually live hidden on the
// same window.
class TButtonImage : public TImage {
  Q_OBJECT

 public:
  // Each reference starts as a fresh, empty, hidden image owned by the parent (or by the
  // button itself when it has no parent), so a reference is never missing.
  explicit TButtonImage(QWidget* parent = nullptr);

  TImage* ImageUp() const { return FUpImage.data(); }
  TImage* ImageDown() const { return FDownImage.data(); }
  // Only stores the reference; the picture on screen changes with the next swap.
  void SetImageUp(TImage* image);
  void SetImageDown(TImage* image);

  // Shows ImageUp now.
  void Initialize();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void DoMouseLeave() override;
  void DoPressCancelled() override;

 private:
  void Show(const QPointer<TImage>& source);

  // QPointer: an image deleted by its owner becomes a missing reference, not a dangling one.
  QPointer<TImage> FUpImage;
  QPointer<TImage> FDownImage;
};
