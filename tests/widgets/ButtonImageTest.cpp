#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "tests/widgets/QtApp.h"
#include "widgets/ButtonImage.h"

namespace {

QPixmap Filled(Qt::GlobalColor color) {
  QPixmap pixmap(8, 8);
  pixmap.fill(color);
  return pixmap;
}

// The colour of what the button shows; an empty picture reads as "none".
std::string Shown(const TImage& image) {
  if (image.Bitmap().isNull()) return "none";
  return image.Bitmap().toImage().pixelColor(0, 0).name().toStdString();
}

const std::string kUp = QColor(Qt::green).name().toStdString();
const std::string kDown = QColor(Qt::red).name().toStdString();

class ButtonImageTest : public testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    window = std::make_unique<QWidget>();
    button = new TButtonImage(window.get());
    button->setGeometry(10, 10, 40, 30);
    up = new TImage(window.get());
    up->SetBitmap(Filled(Qt::green));
    down = new TImage(window.get());
    down->SetBitmap(Filled(Qt::red));
    button->SetImageUp(up);
    button->SetImageDown(down);
    button->SetBitmap(up->Bitmap());
  }

  void Press(Qt::MouseButton which) { QTest::mousePress(button, which, {}, QPoint(5, 5)); }
  void Release(Qt::MouseButton which, QPoint at = QPoint(5, 5)) {
    QTest::mouseRelease(button, which, {}, at);
  }
  void MoveWhilePressed(QPoint to) {
    QMouseEvent move(QEvent::MouseMove, to, button->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(button, &move);
  }

  std::unique_ptr<QWidget> window;
  TButtonImage* button = nullptr;  // owned by window
  TImage* up = nullptr;
  TImage* down = nullptr;
};

TEST_F(ButtonImageTest, StartsWithHiddenEmptyImagesOwnedByTheParent) {
  TButtonImage fresh(window.get());
  ASSERT_NE(fresh.ImageUp(), nullptr);
  ASSERT_NE(fresh.ImageDown(), nullptr);
  EXPECT_TRUE(window->isAncestorOf(fresh.ImageUp()));
  EXPECT_FALSE(fresh.ImageUp()->isVisibleTo(window.get()));
  EXPECT_TRUE(fresh.ImageDown()->Bitmap().isNull());

  TButtonImage orphan;  // no parent: it keeps its images itself
  EXPECT_TRUE(orphan.isAncestorOf(orphan.ImageUp()));
}

TEST_F(ButtonImageTest, ClickRunsWhileThePressedPictureShowsThenReleases) {
  std::vector<std::string> seenInClick;
  QObject::connect(button, &TImage::clicked, [&] {
    seenInClick.push_back(Shown(*button));
    // A modal dialog opened here takes the pointer away from the button.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    seenInClick.push_back(Shown(*button));
  });
  Press(Qt::LeftButton);
  EXPECT_EQ(Shown(*button), kDown);
  Release(Qt::LeftButton);
  EXPECT_EQ(seenInClick, std::vector<std::string>({kDown, kDown}));
  EXPECT_EQ(Shown(*button), kUp);
}

TEST_F(ButtonImageTest, LeavingShowsUpAndReleaseOutsideDoesNotClick) {
  QSignalSpy clicks(button, &TImage::clicked);
  Press(Qt::LeftButton);
  MoveWhilePressed(QPoint(100, 5));
  EXPECT_EQ(Shown(*button), kUp);
  MoveWhilePressed(QPoint(5, 5));  // back over it: no new pressed look
  EXPECT_EQ(Shown(*button), kUp);
  MoveWhilePressed(QPoint(100, 5));
  Release(Qt::LeftButton, QPoint(100, 5));
  EXPECT_EQ(Shown(*button), kUp);
  EXPECT_EQ(clicks.count(), 0);

  Press(Qt::LeftButton);
  Release(Qt::LeftButton);
  QEvent leave(QEvent::Leave);
  button->SetBitmap(down->Bitmap());
  QApplication::sendEvent(button, &leave);
  EXPECT_EQ(Shown(*button), kUp);
}

TEST_F(ButtonImageTest, SecondaryButtonSwapsPicturesButDoesNotClick) {
  QSignalSpy clicks(button, &TImage::clicked);
  Press(Qt::RightButton);
  EXPECT_EQ(Shown(*button), kDown);
  Release(Qt::RightButton);
  EXPECT_EQ(Shown(*button), kUp);
  EXPECT_EQ(clicks.count(), 0);
}

TEST_F(ButtonImageTest, DisabledIgnoresTheMouse) {
  QSignalSpy clicks(button, &TImage::clicked);
  button->setEnabled(false);
  Press(Qt::LeftButton);
  EXPECT_EQ(Shown(*button), kUp);
  button->SetBitmap(down->Bitmap());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(button, &leave);
  Release(Qt::LeftButton);
  EXPECT_EQ(Shown(*button), kDown);
  EXPECT_EQ(clicks.count(), 0);
}

TEST_F(ButtonImageTest, DisabledWhilePressedReturnsToTheReleasedPicture) {
  Press(Qt::LeftButton);
  button->setEnabled(false);  // the release will be swallowed
  EXPECT_EQ(Shown(*button), kUp);
}

TEST_F(ButtonImageTest, NeverAssignedDownImageShowsAnEmptyPicture) {
  TButtonImage plain(window.get());
  plain.SetImageUp(up);
  plain.Initialize();
  EXPECT_EQ(Shown(plain), kUp);
  QTest::mousePress(&plain, Qt::LeftButton, {}, QPoint(1, 1));
  EXPECT_EQ(Shown(plain), "none");
}

TEST_F(ButtonImageTest, AssigningAnImageShowsItOnlyAtTheNextSwap) {
  TImage other(window.get());
  other.SetBitmap(Filled(Qt::blue));
  button->SetImageUp(&other);
  EXPECT_EQ(Shown(*button), kUp);
  Press(Qt::LeftButton);
  Release(Qt::LeftButton);
  EXPECT_EQ(Shown(*button), QColor(Qt::blue).name().toStdString());
  // The pixels were copied: changing the source afterwards does not show.
  other.SetBitmap(Filled(Qt::yellow));
  EXPECT_EQ(Shown(*button), QColor(Qt::blue).name().toStdString());
}

TEST_F(ButtonImageTest, DeletedImageIsNoLongerReferenced) {
  delete down;
  EXPECT_EQ(button->ImageDown(), nullptr);
  Press(Qt::LeftButton);  // nothing to show; keeps the released picture
  EXPECT_EQ(Shown(*button), kUp);
  Release(Qt::LeftButton);
}

}  // namespace
