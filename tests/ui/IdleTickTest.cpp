// What a refresh tick costs on screen: one that finds the camera as it was paints and lays out
// nothing and keeps the rows of the format list, one that finds a single value changed repaints
// that row alone, and a change made by another program between two ticks shows at the next one.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPaintEvent>
#include <QTest>

#include "tests/ui/ActionTestSupport.h"
#include "ui/ListBox.h"
#include "widgets/TrackBar.h"

using namespace uitest;

namespace {

// The paint events of every widget of a window, with their regions in the window's
// coordinates, and the layout requests.
class WindowActivity : public QObject {
 public:
  explicit WindowActivity(QWidget& window) : FWindow(window) {
    window.installEventFilter(this);
    for (QWidget* widget : window.findChildren<QWidget*>()) widget->installEventFilter(this);
  }
  void Clear() {
    FPainted = {};
    FPaintedWidgets.clear();
    FLaidOut.clear();
  }
  const QRegion& Painted() const { return FPainted; }
  const QStringList& PaintedWidgets() const { return FPaintedWidgets; }
  const QStringList& LaidOut() const { return FLaidOut; }

  // Lets the window finish whatever it still has to paint: returns once an interval passes
  // without a paint event.
  void Settle() {
    for (int round = 0; round < 50; ++round) {
      const qsizetype before = FPaintedWidgets.size();
      QTest::qWait(100);
      if (FPaintedWidgets.size() == before) return;
    }
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      auto* widget = static_cast<QWidget*>(watched);
      const QPoint offset = widget == &FWindow ? QPoint() : widget->mapTo(&FWindow, QPoint());
      FPainted += static_cast<QPaintEvent*>(event)->region().translated(offset);
      FPaintedWidgets << Name(widget);
    } else if (event->type() == QEvent::LayoutRequest) {
      FLaidOut << Name(watched);
    }
    return false;
  }

 private:
  static QString Name(const QObject* object) {
    return QLatin1String(object->metaObject()->className()) + QLatin1Char(' ') +
           object->objectName();
  }

  QWidget& FWindow;
  QRegion FPainted;
  QStringList FPaintedWidgets;
  QStringList FLaidOut;
};

QRect InWindow(const QWidget& widget) {
  return QRect(widget.mapTo(widget.window(), QPoint()), widget.size());
}

QString BrightnessText(TFormMain& form) {
  return form.findChild<QLabel*>(QStringLiteral("LabelBrightnessValue"))->text();
}

void SetBrightnessElsewhere(FileSession& session, LONG value) {
  session.ChangeElsewhere([value](korvane::sim::SimDescription& d) {
    d.devices[0].videoProcAmp[kBrightness].value = value;
  });
}

// The window shown and painted, as it is between two ticks; its own timer stopped, so that
// only the ticks of the test run.
struct IdleWindow {
  IdleWindow() : Session(TwoAdjustableCameras()), Activity(Session.Form()) {
    Session.Form().RefreshTimer->stop();
    if (!QTest::qWaitForWindowExposed(&Session.Form())) ADD_FAILURE() << "window not exposed";
    Activity.Settle();
    Activity.Clear();
  }
  TFormMain& Form() { return Session.Form(); }

  FileSession Session;
  WindowActivity Activity;
};

}  // namespace

TEST(IdleTick, AnUnchangedTickPaintsAndLaysOutNothing) {
  // Where the keyboard focus is decides what a tick could repaint: the re-read takes it from
  // a row and gives it back. Beside another program's window (a video call) the window is
  // inactive and shows no focus.
  const struct {
    const char* Focus;
    bool BesideAnotherWindow;
  } cases[] = {{"ComboBoxCamera", false}, {"TrackBarBrightness", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Focus);
    TempHome home;
    IdleWindow idle;
    TFormMain& form = idle.Form();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QWidget* const focused = form.findChild<QWidget*>(QLatin1String(c.Focus));
    focused->setFocus();
    QWidget otherProgram;
    if (c.BesideAnotherWindow) {
      otherProgram.resize(200, 100);
      otherProgram.show();
      otherProgram.activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&otherProgram));
    }
    idle.Activity.Settle();
    idle.Activity.Clear();

    for (int tick = 0; tick < 3; ++tick) form.RefreshTimerTimer();
    idle.Activity.Settle();
    EXPECT_EQ(idle.Activity.PaintedWidgets(), QStringList());
    EXPECT_EQ(idle.Activity.LaidOut(), QStringList());
    EXPECT_EQ(BrightnessText(form), QStringLiteral("128"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.focusWidget() == focused; }));
  }
}

TEST(IdleTick, ASingleChangedValueRepaintsItsRowOnly) {
  TempHome home;
  IdleWindow idle;
  TFormMain& form = idle.Form();
  form.findChild<QWidget*>(QStringLiteral("ComboBoxCamera"))->setFocus();
  idle.Activity.Settle();
  idle.Activity.Clear();

  SetBrightnessElsewhere(idle.Session, 200);
  form.RefreshTimerTimer();
  idle.Activity.Settle();
  EXPECT_EQ(BrightnessText(form), QStringLiteral("200"));
  const QRect row = InWindow(*form.findChild<QWidget*>(QStringLiteral("LayoutBrightness")));
  const QStringList painted = idle.Activity.PaintedWidgets();
  EXPECT_TRUE(painted.contains(QStringLiteral("TTrackBar TrackBarBrightness")))
      << painted.join(", ").toStdString();
  EXPECT_TRUE(painted.contains(QStringLiteral("QLabel LabelBrightnessValue")))
      << painted.join(", ").toStdString();
  EXPECT_EQ(idle.Activity.Painted().subtracted(row), QRegion())
      << "painted outside the row: " << painted.join(", ").toStdString();
}

TEST(IdleTick, AChangeMadeBetweenTwoTicksShowsAtTheNextOne) {
  TempHome home;
  IdleWindow idle;
  TFormMain& form = idle.Form();
  // Each change lands right after a tick, within the same tick of the clock that stamps the
  // file, and keeps the file's size: only its content tells.
  for (const LONG value : {200, 201, 128}) {
    form.RefreshTimerTimer();
    SetBrightnessElsewhere(idle.Session, value);
    form.RefreshTimerTimer();
    EXPECT_EQ(BrightnessText(form), QString::number(value));
  }
}

TEST(IdleTick, TheFormatListIsRebuiltOnlyWhereTheFormatsChanged) {
  TempHome home;
  IdleWindow idle;
  TFormMain& form = idle.Form();
  TListBox& formats = *form.ComboBoxFormat;
  ASSERT_EQ(formats.count(), 1);
  const QListWidgetItem* const first = formats.item(0);

  form.RefreshTimerTimer();
  EXPECT_EQ(formats.item(0), first);  // the same row, not a new one with the same text

  idle.Session.ChangeElsewhere(
      [](korvane::sim::SimDescription& d) { d.devices[0].formats.push_back(Format(1280, 720)); });
  form.RefreshTimerTimer();
  ASSERT_EQ(formats.count(), 2);
  EXPECT_EQ(formats.item(0), first);
  EXPECT_EQ(formats.item(1)->text(), QStringLiteral("1280x720 30Hz 16bpp"));
  EXPECT_EQ(formats.GetItemIndex(), 0);
  EXPECT_EQ(formats.selectedItems(), QList<QListWidgetItem*>{formats.item(0)});
}
