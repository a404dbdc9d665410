#include "widgets/ButtonImage.h"

#include <QMouseEvent>

namespace {

TImage* MakeEmptyImage(QWidget* owner) {
  auto* image = new TImage(owner);  // owned by its Qt parent
  image->hide();
  return image;
}

}  // namespace

TButtonImage::TButtonImage(QWidget* parent)
    : TImage(parent),
      FUpImage(MakeEmptyImage(parent ? parent : this)),
      FDownImage(MakeEmptyImage(parent ? parent : this)) {}

void TButtonImage::SetImageUp(TImage* image) {
  if (FUpImage != image) FUpImage = image;
}

void TButtonImage::SetImageDown(TImage* image) {
  if (FDownImage != image) FDownImage = image;
}

void TButtonImage::Initialize() {
  Show(FUpImage);
  update();
}

void TButtonImage::mousePressEvent(QMouseEvent* event) {
  TImage::mousePressEvent(event);
  Show(FDownImage);
}

void TButtonImage::mouseReleaseEvent(QMouseEvent* event) {
  // The base emits clicked(): its action runs to its end while the pressed picture still shows.
  TImage::mouseReleaseEvent(event);
  Show(FUpImage);
}

void TButtonImage::DoMouseLeave() {
  Show(FUpImage);
}

void TButtonImage::DoPressCancelled() {
  Show(FUpImage);
}

void TButtonImage::Show(const QPointer<TImage>& source) {
  if (source) SetBitmap(source->Bitmap());
}
