#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "tests/widgets/QtApp.h"
#include "widgets/TrackBar.h"

namespace {

class TrackBarTest : public testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    bar = std::make_unique<TTrackBar>();
    bar->resize(300, 30);
    SetRange(0, 255, 1);
  }

  void SetRange(double min, double max, double step) {
    bar->SetMin(min);
    bar->SetMax(max);
    bar->SetFrequency(step);
  }

  std::unique_ptr<TTrackBar> bar;
};

TEST_F(TrackBarTest, ChangeFiresOncePerRealChange) {
  QSignalSpy changes(bar.get(), &TTrackBar::Change);
  bar->SetValue(128);
  EXPECT_EQ(changes.count(), 1);
  bar->SetValue(128);
  EXPECT_EQ(changes.count(), 1);
  bar->SetValue(128.2);  // snaps back to 128: no change
  EXPECT_EQ(changes.count(), 1);
  bar->SetFrequency(1);
  bar->SetValue(129);
  EXPECT_EQ(changes.count(), 2);
  EXPECT_DOUBLE_EQ(bar->Value(), 129);
}

TEST_F(TrackBarTest, RangeChangesThatMoveTheValueFireChange) {
  bar->SetValue(200);
  QSignalSpy changes(bar.get(), &TTrackBar::Change);
  bar->SetMax(100);
  EXPECT_DOUBLE_EQ(bar->Value(), 100);
  EXPECT_EQ(changes.count(), 1);
  bar->SetMin(150);  // max raised to 150, value follows
  EXPECT_DOUBLE_EQ(bar->Max(), 150);
  EXPECT_DOUBLE_EQ(bar->Value(), 150);
  EXPECT_EQ(changes.count(), 2);
  bar->SetMax(255);
  bar->SetValue(157);
  changes.clear();
  bar->SetFrequency(10);
  EXPECT_DOUBLE_EQ(bar->Value(), 160);
  EXPECT_EQ(changes.count(), 1);
  bar->SetMin(0);  // value untouched: no event
  EXPECT_EQ(changes.count(), 1);
}

TEST_F(TrackBarTest, NonFiniteArgumentsAreIgnored) {
  bar->SetValue(42);
  QSignalSpy changes(bar.get(), &TTrackBar::Change);
  bar->SetValue(std::numeric_limits<double>::quiet_NaN());
  bar->SetFrequency(std::numeric_limits<double>::infinity());
  bar->SetMax(std::numeric_limits<double>::quiet_NaN());
  EXPECT_DOUBLE_EQ(bar->Value(), 42);
  EXPECT_DOUBLE_EQ(bar->Frequency(), 1);
  EXPECT_DOUBLE_EQ(bar->Max(), 255);
  EXPECT_EQ(changes.count(), 0);
}

TEST_F(TrackBarTest, KeyboardMovesBySteps) {
  SetRange(-7, 254, 5);
  bar->SetValue(100);
  struct KeyCase {
    Qt::Key key;
    double expected;
  };
  const KeyCase cases[] = {
      {Qt::Key_Right, 105}, {Qt::Key_Up, 110},     {Qt::Key_Left, 105},
      {Qt::Key_Down, 100},  {Qt::Key_PageUp, 150}, {Qt::Key_PageDown, 100},
      {Qt::Key_End, 254},   {Qt::Key_Left, 250},  // from the off-grid end to the next grid point
      {Qt::Key_Right, 254}, {Qt::Key_Right, 254},  {Qt::Key_Home, -7},
      {Qt::Key_Right, -5},  {Qt::Key_Left, -7},    {Qt::Key_Left, -7},
  };
  for (const KeyCase& c : cases) {
    QTest::keyClick(bar.get(), c.key);
    EXPECT_DOUBLE_EQ(bar->Value(), c.expected) << "after key " << c.key;
  }
}

TEST_F(TrackBarTest, KeyboardMovesByOneWhenTheStepIsZero) {
  SetRange(0, 10, 0);
  bar->SetValue(2.5);
  QTest::keyClick(bar.get(), Qt::Key_Right);
  EXPECT_DOUBLE_EQ(bar->Value(), 3);
}

TEST_F(TrackBarTest, MouseClickOnTheGrooveAndDragSetTheValue) {
  bar->SetValue(0);
  bar->show();
  bar->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(bar.get()));
  QSignalSpy changes(bar.get(), &TTrackBar::Change);
  QTest::mouseClick(bar.get(), Qt::LeftButton, {}, QPoint(bar->width() / 2, 15));
  EXPECT_NEAR(bar->Value(), 128, 2);
  EXPECT_EQ(bar->Value(), std::round(bar->Value()));  // on the step grid
  EXPECT_EQ(changes.count(), 1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return bar->hasFocus(); }));

  QTest::mousePress(bar.get(), Qt::LeftButton, {}, QPoint(bar->width() / 2, 15));
  QMouseEvent drag(QEvent::MouseMove, QPointF(bar->width() + 50, 15), QPointF(), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(bar.get(), &drag);
  EXPECT_DOUBLE_EQ(bar->Value(), 255);
  QTest::mouseRelease(bar.get(), Qt::LeftButton, {}, QPoint(bar->width() + 50, 15));
}

TEST_F(TrackBarTest, DisabledIgnoresKeyboardAndMouse) {
  bar->SetValue(100);
  bar->setEnabled(false);
  QSignalSpy changes(bar.get(), &TTrackBar::Change);
  QTest::keyClick(bar.get(), Qt::Key_Right);
  QTest::mouseClick(bar.get(), Qt::LeftButton, {}, QPoint(5, 15));
  EXPECT_DOUBLE_EQ(bar->Value(), 100);
  EXPECT_EQ(changes.count(), 0);
  bar->SetValue(0);  // code still sets it, as the rows do while disabled
  EXPECT_EQ(changes.count(), 1);
}

TEST_F(TrackBarTest, ScaleEnlargesTheSizeHint) {
  const QSize normal = bar->sizeHint();
  bar->SetScale(1.3);
  EXPECT_EQ(bar->sizeHint().height(), qRound(normal.height() * 1.3));
  EXPECT_GT(bar->sizeHint().width(), normal.width());
}

}  // namespace
