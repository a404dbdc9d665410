// Setting what a control shows: a control told the value it shows is not repainted, and a batch
// shows only where each control ends up.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGraphicsColorizeEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <map>
#include <memory>

#include "tests/widgets/QtApp.h"
#include "widgets/Look.h"
#include "widgets/TrackBar.h"

namespace {

// Counts the paint events of every widget of a window.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget& window) {
    window.installEventFilter(this);
    for (QWidget* widget : window.findChildren<QWidget*>()) widget->installEventFilter(this);
  }
  int Of(const QWidget* widget) const {
    const auto found = FPaints.find(widget);
    return found == FPaints.end() ? 0 : found->second;
  }
  int Total() const {
    int total = 0;
    for (const auto& [widget, paints] : FPaints) total += paints;
    return total;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++FPaints[watched];
    return false;
  }

 private:
  std::map<const QObject*, int> FPaints;
};

class LookTest : public testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    window = std::make_unique<QWidget>();
    auto* line = new QHBoxLayout(window.get());
    label = new QLabel(QStringLiteral("128"), window.get());
    label->setFixedWidth(60);  // a new text moves nothing else
    checkBox = new QCheckBox(QStringLiteral("Auto"), window.get());
    bar = new TTrackBar(window.get());
    bar->SetMax(255);
    bar->SetFrequency(1);
    bar->SetValue(128);
    for (QWidget* widget : {static_cast<QWidget*>(label), static_cast<QWidget*>(checkBox),
                            static_cast<QWidget*>(bar)}) {
      line->addWidget(widget);
    }
    grey = new QGraphicsColorizeEffect(checkBox);
    grey->setEnabled(false);
    checkBox->setGraphicsEffect(grey);
    window->resize(400, 40);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    // The focus first lands on the check box; a focused control that a batch disables loses
    // it (a test below), which would repaint it.
    window->setFocus();
    Settle();
    paints = std::make_unique<PaintCounter>(*window);
  }

  // Lets every pending repaint happen.
  static void Settle() {
    for (int i = 0; i < 3; ++i) QTest::qWait(20);
  }

  std::unique_ptr<QWidget> window;
  QLabel* label = nullptr;
  QCheckBox* checkBox = nullptr;
  TTrackBar* bar = nullptr;
  QGraphicsColorizeEffect* grey = nullptr;
  std::unique_ptr<PaintCounter> paints;
};

TEST_F(LookTest, AControlToldWhatItShowsIsNotRepainted) {
  Look::SetText(label, QStringLiteral("128"));
  Look::SetEnabled(checkBox, true);
  Look::SetVisible(label, true);
  Look::SetEffectEnabled(grey, false);
  bar->SetMin(0);
  bar->SetMax(255);
  bar->SetValue(128);
  Settle();
  EXPECT_EQ(paints->Total(), 0);

  Look::SetText(label, QStringLiteral("200"));
  Settle();
  EXPECT_EQ(label->text(), QStringLiteral("200"));
  EXPECT_GT(paints->Of(label), 0);
  EXPECT_EQ(paints->Of(bar), 0);
}

TEST_F(LookTest, ABatchShowsOnlyWhereEachControlEndsUp) {
  QSignalSpy changes(bar, &TTrackBar::Change);
  {
    const Look::TBatch outer;
    {
      const Look::TBatch inner;  // nested: only the outermost shows
      Look::SetText(label, QStringLiteral(" "));
      Look::SetEnabled(checkBox, false);
      Look::SetEffectEnabled(grey, true);
      bar->SetValue(0);
    }
    EXPECT_EQ(label->text(), QStringLiteral("128"));  // nothing shown while a batch is open
    EXPECT_TRUE(checkBox->isEnabled());
    Look::SetText(label, QStringLiteral("128"));
    Look::SetEnabled(checkBox, true);
    Look::SetEffectEnabled(grey, false);
    bar->SetValue(128);
  }
  // What the bar did stays as it was: its value went to 0 and back, and said so each time.
  EXPECT_EQ(changes.count(), 2);
  Settle();
  EXPECT_EQ(paints->Total(), 0);

  {
    const Look::TBatch batch;
    Look::SetText(label, QStringLiteral("1"));
    Look::SetText(label, QStringLiteral("7"));
    Look::SetEnabled(checkBox, false);
  }
  EXPECT_EQ(label->text(), QStringLiteral("7"));
  EXPECT_FALSE(checkBox->isEnabled());
  Settle();
  EXPECT_GT(paints->Of(label), 0);
  EXPECT_EQ(paints->Of(bar), 0);
}

TEST_F(LookTest, DisablingTheFocusedControlInABatchTakesTheFocusAtOnce) {
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  bar->setFocus();
  ASSERT_TRUE(bar->hasFocus());
  {
    const Look::TBatch batch;
    Look::SetEnabled(bar, false);
    EXPECT_FALSE(bar->hasFocus());
    Look::SetEnabled(bar, true);
  }
  EXPECT_TRUE(bar->isEnabled());
  EXPECT_FALSE(bar->hasFocus());
}

TEST_F(LookTest, AControlDeletedWithinABatchIsLeftOut) {
  {
    const Look::TBatch batch;
    Look::SetText(label, QStringLiteral("gone"));
    delete label;
    auto* replacement = new QLabel(window.get());
    Look::SetText(replacement, QStringLiteral("new"));
    label = replacement;
  }
  EXPECT_EQ(label->text(), QStringLiteral("new"));
}

}  // namespace
