// The titles of the program's windows as the window system shows them, read back from a
// virtual X display: Qt may add to what windowTitle() says on the way to the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>

#include "tests/ui/ActionTestSupport.h"
#include "ui/MessageUnit.h"

using namespace uitest;

namespace {

// Made before any test makes the offscreen application: these tests need the X server.
QApplication& X11App() {
  static int argc = 1;
  static char name[] = "test_ui_x11";
  static char* argv[] = {name, nullptr};
  static QApplication* application = [] {
    qputenv("QT_QPA_PLATFORM", "xcb");
    return new QApplication(argc, argv);  // lives until the process ends
  }();
  return *application;
}

// The window's _NET_WM_NAME, the title window managers and task bars show; empty until the
// window has one.
QString ShownTitle(const QWidget& window) {
  QProcess xprop;
  xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window.winId()),
                                        QStringLiteral("_NET_WM_NAME")});
  if (!xprop.waitForFinished(10000)) return {};
  // _NET_WM_NAME(UTF8_STRING) = "Confirm"
  const QString line = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
  const qsizetype first = line.indexOf(QLatin1Char('"'));
  const qsizetype last = line.lastIndexOf(QLatin1Char('"'));
  return first < 0 || last <= first ? QString() : line.mid(first + 1, last - first - 1);
}

QString ShownTitleOnceSet(const QWidget& window) {
  QString title;
  if (!QTest::qWaitFor([&] { return !(title = ShownTitle(window)).isEmpty(); }, 10000)) return {};
  return title;
}

// Reads the title of a modal window when it appears, then answers it.
struct TitleOfModal {
  TitleOfModal(const QString& objectName, std::function<void(QWidget&)> answer)
      : Answerer(objectName, [this, answer](QWidget& window) {
          Title = ShownTitleOnceSet(window);
          answer(window);
        }) {}
  QString Title;
  ModalAnswerer Answerer;
};

}  // namespace

TEST(WindowTitles, AreShownAsTheirWindowsNameThem) {
  ASSERT_EQ(X11App().platformName(), QStringLiteral("xcb"));
  TempHome home;
  Session session(TwoAdjustableCameras(), {QStringLiteral("trace")});
  TFormMain& form = session.Form();
  EXPECT_EQ(ShownTitleOnceSet(form), QStringLiteral("Korvane Cam Settings Tool V1.7"));
  EXPECT_EQ(ShownTitleOnceSet(*form.Memo1), QStringLiteral("Trace"));

  const struct {
    const char* expected;
    const char* window;
    std::function<void(QWidget&)> answer;
    std::function<void()> open;
  } cases[] = {
      {"Confirm", "MessageForm", ClickButton2, [&] { form.MessageDlgSimple(QStringLiteral("?")); }},
      {"Information", "MessageForm", ClickButton1,
       [&] { form.ShowMessageSimple(QStringLiteral("!")); }},
      {"Save camera settings", "SaveDialog1", CancelDialog, [&] { Click(form.ButtonWrite); }},
      {"Load camera settings", "OpenDialog1", CancelDialog, [&] { Click(form.ButtonRead); }},
  };
  for (const auto& c : cases) {
    TitleOfModal modal(QLatin1String(c.window), c.answer);
    c.open();
    EXPECT_EQ(modal.Title, QString::fromLatin1(c.expected));
  }
}
