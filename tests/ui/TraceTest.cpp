// The trace log: on only with "trace" as the first argument, and the exact lines of one
// pass over a camera.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPlainTextEdit>

#include "tests/ui/UiTestSupport.h"

using namespace uitest;

namespace {

QStringList SupportStatusLines(int formatIndex) {
  return {QStringLiteral("SetSupportStatus entered"),
          QStringLiteral("ComboBoxFormat.ItemIndex=%1").arg(formatIndex),
          QStringLiteral("SetSupportStatus passed 02"),
          QStringLiteral("SetSupportStatus passed 03"),
          QStringLiteral("SetSupportStatus passed 04"),
          QStringLiteral("SetSupportStatus passed 05"),
          QStringLiteral("SetSupportStatus passed 06")};
}

}  // namespace

TEST(Trace, OnlyTheExactFirstArgumentTurnsItOn) {
  struct Case {
    QStringList arguments;
    bool on;
  };
  const Case cases[] = {{{QStringLiteral("trace")}, true},
                        {{QStringLiteral("trace"), QStringLiteral("more")}, true},
                        {{QStringLiteral("TRACE")}, false},
                        {{QStringLiteral("-trace")}, false},
                        {{QStringLiteral("x"), QStringLiteral("trace")}, false},
                        {{}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
    TempHome home;
    korvane::sim::SimDescription description;
    description.devices = {Camera("A"), Camera("B")};
    Session session(description, c.arguments);
    EXPECT_EQ(session.Form().GetTraceMode(), c.on);
    // The trace window exists in trace mode only, and then shows the start's trace.
    ASSERT_EQ(session.Form().Memo1 != nullptr, c.on);
    if (c.on) {
      EXPECT_TRUE(session.Form().Memo1->isVisible());
      EXPECT_FALSE(session.Form().Memo1->toPlainText().isEmpty());
    }
    // Never before the main window: a second copy quits without showing anything.
    Session hidden(description, c.arguments, false);
    EXPECT_TRUE(!hidden.Form().Memo1 || !hidden.Form().Memo1->isVisible());
  }
}

TEST(Trace, OneCameraPassLogsTheseLinesInThisOrder) {
  TempHome home;
  korvane::sim::SimDevice camera = Camera("Trace cam");
  camera.videoProcAmp[kBrightness] = Control(0, 255, 1, 128);
  camera.videoProcAmp[kGain] = Control(0, 100, 1, 0);
  korvane::sim::SimDescription description;
  description.devices = {camera};
  Session session(description, {QStringLiteral("trace")});
  session.Form().Memo1->clear();

  session.ClickCamera(0);
  const QString width = QString::number(session.Form().width());
  QStringList expected = {QStringLiteral("ComboBoxCameraChange started"), width,
                          QStringLiteral("   "), QStringLiteral("Starting SetFormats"),
                          QStringLiteral("30")};
  expected << SupportStatusLines(-1);
  expected << QStringLiteral("Starting SetTrackBars") << QStringLiteral("SetTrackBars entered")
           << QStringLiteral("Blanks done") << QStringLiteral("Starting  InitTrackBar BLOCK")
           << QStringLiteral("InitTrackBar BLOCK ended OK")
           << QStringLiteral("InitTrackBar group OK")
           << QStringLiteral("Starting  SetTrackBar BLOCK")
           << QStringLiteral("FCamera.DeviceName is not BLANK") << QStringLiteral("Trace cam")
           << QStringLiteral("SetTrackBar started") << QStringLiteral("128")
           << QStringLiteral("SetTrackBar ended") << QStringLiteral("SetTrackBar started")
           << QStringLiteral("0") << QStringLiteral("SetTrackBar ended")
           << QStringLiteral("Calling SetSupportStatus");
  expected << SupportStatusLines(-1);
  // Selecting the first format runs the format list's change handler.
  expected << QStringLiteral("ComboBoxFormatChange") << QStringLiteral("Hide 4");
  expected << SupportStatusLines(0);
  expected << QStringLiteral("Doing the \"if not(ComboBoxFormat.Items.c\"")
           << QStringLiteral("Starting FormResize") << width
           << QStringLiteral("ComboBoxCameraChange done");
  EXPECT_EQ(session.TraceLines(), expected);
}

TEST(Trace, TickingAutoNamesTheReread) {
  TempHome home;
  korvane::sim::SimDevice camera = Camera("Cam");
  camera.videoProcAmp[kBrightness] = Control(0, 255, 1, 128);
  korvane::sim::SimDescription description;
  description.devices = {camera, Camera("Spare")};
  Session session(description, {QStringLiteral("trace")});
  session.Form().Memo1->clear();
  session.Find<QCheckBox>(QStringLiteral("CheckBoxBrightness"))->click();
  const QStringList lines = session.TraceLines();
  ASSERT_GE(lines.size(), 2);
  EXPECT_EQ(lines[0], QStringLiteral("### Call SetTrackBars from  CheckBoxChange event "));
  EXPECT_EQ(lines[1], QStringLiteral("SetTrackBars entered"));
}
