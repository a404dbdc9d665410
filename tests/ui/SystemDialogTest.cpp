// The driver's own dialog: a camera that cannot show it, and changes made in it reaching the
// rows, at the latest when it closes.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include "platform/os/PropertyFrame.h"
#include "tests/ui/ActionTestSupport.h"
#include "ui/propertyframe/PropertyFrame.h"

using namespace uitest;

TEST(SystemDialog, ACameraThatCannotShowItIsToldAndReadAgain) {
  struct Case {
    const char* what;
    const char* missingInterface;
    HRESULT frameResult;
  };
  for (const Case& c : {Case{"no property pages", "ISpecifyPropertyPages", S_OK},
                        Case{"the frame fails", "", E_FAIL}}) {
    SCOPED_TRACE(c.what);
    TempHome home;
    korvane::sim::SimDescription cameras = TwoAdjustableCameras();
    if (*c.missingInterface) cameras.devices[0].missingInterfaces.insert(c.missingInterface);
    Session session(cameras, {QStringLiteral("trace")});
    const korvane::os::ScopedPropertyFrameHook frame(
        [&](const korvane::os::PropertyFrameRequest&) { return c.frameResult; });
    session.Store().Modify(
        [](korvane::sim::SimDescription& d) { d.devices[0].videoProcAmp[kBrightness].value = 9; });
    Click(session.Form().ButtonWindows);
    EXPECT_EQ(session.Form().MessageLabel->text(),
              QStringLiteral("Cam A does not support this dialog function"));
    EXPECT_TRUE(session.TraceLines().contains(QStringLiteral("ButtonWindowsClick Error")));
    EXPECT_EQ(session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"))->text(),
              QStringLiteral("9"));
  }
}

// Our real frame: a change applied there shows in the rows on the next refresh tick, while
// the frame is still open; one made with OK shows as soon as it closes.
TEST(SystemDialog, ChangesMadeInTheFrameReachTheRows) {
  TempHome home;
  Session session(TwoAdjustableCameras());
  TFormMain& form = session.Form();
  const korvane::os::ScopedPropertyFrameHook keepPrevious(nullptr);
  korvane::ui::InstallPropertyFrame();
  auto* brightness = session.Find<QLabel>(QStringLiteral("LabelBrightnessValue"));
  auto* contrast = session.Find<QLabel>(QStringLiteral("LabelContrastValue"));
  form.RefreshTimer->setInterval(20);

  int polls = 0;
  bool appliedSeenWhileOpen = false;
  {
    ModalAnswerer frame(QStringLiteral("PropertyFrame"), [&](QWidget& window) {
      auto* apply = window.findChild<QPushButton*>(QStringLiteral("ButtonApply"));
      if (polls++ == 0) {
        window.findChild<QSlider*>(QStringLiteral("SliderBrightness"))->setValue(200);
        apply->click();
        return;
      }
      // Wait (a few seconds at most) for a tick to bring the applied value into the row.
      if (brightness->text() != QStringLiteral("200") && polls < 1000) return;
      appliedSeenWhileOpen = brightness->text() == QStringLiteral("200");
      form.RefreshTimer->stop();
      window.findChild<QSlider*>(QStringLiteral("SliderContrast"))->setValue(77);
      window.findChild<QPushButton*>(QStringLiteral("ButtonOK"))->click();
    });
    Click(form.ButtonWindows);
  }
  EXPECT_TRUE(appliedSeenWhileOpen);
  EXPECT_EQ(contrast->text(), QStringLiteral("77"));
  EXPECT_EQ(session.VideoProcAmp(0, kContrast).value, 77);
  EXPECT_EQ(form.MessageLabel->text(), QString());
}
