// The message window, the bottom strip's transient message and the default error display.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/ui/UiTestSupport.h"
#include "ui/ErrorDisplay.h"
#include "ui/MessageUnit.h"

using namespace uitest;

namespace {

korvane::sim::SimDescription NoCameras() {
  return {};
}

}  // namespace

TEST(MessageWindow, EnterAnswersNoAndYesMustBeClicked) {
  TempHome home;
  Session session(NoCameras());
  TFormMain& form = session.Form();
  {
    ModalAnswerer enter(QStringLiteral("MessageForm"), PressEnter);
    EXPECT_FALSE(form.MessageDlgSimple(QStringLiteral("Reset settings for Cam")));
    ASSERT_EQ(enter.Texts().size(), 1);
    EXPECT_EQ(enter.Texts().front(), QStringLiteral("Reset settings for Cam"));
  }
  TMessageForm& message = *form.GetMessageForm();
  EXPECT_EQ(message.windowTitle(), QStringLiteral("Confirm"));
  EXPECT_FALSE(message.isVisible());
  {
    ModalAnswerer yes(QStringLiteral("MessageForm"), ClickButton1);
    EXPECT_TRUE(form.MessageDlgSimple(QStringLiteral("Overwrite file \"a.kcs\"")));
  }
}

TEST(MessageWindow, InformationAndQuestionFollowEachOtherInAnyOrder) {
  TempHome home;
  Session session(NoCameras());
  TFormMain& form = session.Form();
  TMessageForm& message = *form.GetMessageForm();
  {
    ModalAnswerer enter(QStringLiteral("MessageForm"), [](QWidget& window) {
      EXPECT_FALSE(window.findChild<QPushButton*>(QStringLiteral("Button2"))->isVisible());
      EXPECT_EQ(window.findChild<QPushButton*>(QStringLiteral("Button1"))->text(),
                QStringLiteral("Ok"));
      PressEnter(window);
    });
    EXPECT_TRUE(form.ShowMessageSimple(QStringLiteral("Note")));
    EXPECT_EQ(enter.Texts().size(), 1);
  }
  EXPECT_EQ(message.windowTitle(), QStringLiteral("Information"));
  {
    ModalAnswerer check(QStringLiteral("MessageForm"), [](QWidget& window) {
      EXPECT_TRUE(window.findChild<QPushButton*>(QStringLiteral("Button2"))->isVisible());
      EXPECT_EQ(window.findChild<QPushButton*>(QStringLiteral("Button1"))->text(),
                QStringLiteral("Yes"));
      window.findChild<QPushButton*>(QStringLiteral("Button2"))->click();
    });
    EXPECT_FALSE(form.MessageDlgSimple(QStringLiteral("Question")));
    EXPECT_EQ(check.Texts().size(), 1);
  }
  EXPECT_EQ(message.size(), QSize(TMessageForm::kClientWidth, TMessageForm::kClientHeight));
}

TEST(PanelMessage, ASecondMessageReplacesTheTextButNotTheCountdown) {
  TempHome home;
  Session session(NoCameras());
  TFormMain& form = session.Form();
  auto* label = session.Find<QLabel>(QStringLiteral("MessageLabel"));
  form.ShowPanelMessage(QStringLiteral("Settings saved"));
  EXPECT_EQ(label->text(), QStringLiteral("Settings saved"));
  EXPECT_EQ(form.MessageTimer->interval(), 4000);
  // QTRY_* only returns from the body on a time-out, which GoogleTest would count as a pass.
  ASSERT_TRUE(QTest::qWaitFor([&] { return form.MessageTimer->remainingTime() <= 2000; }, 10000));

  form.ShowPanelMessage(QStringLiteral("Nothing saved"));
  EXPECT_EQ(label->text(), QStringLiteral("Nothing saved"));
  // Still the first message's countdown: at most 2000 ms to go, not 4000 again.
  EXPECT_LE(form.MessageTimer->remainingTime(), 2000);
  ASSERT_TRUE(QTest::qWaitFor([&] { return label->text().isEmpty(); }, 10000));
  EXPECT_EQ(form.MessageTimer->interval(), 0);
  EXPECT_FALSE(form.MessageTimer->isActive());
}

TEST(ErrorDisplay, AppendsAFullStopAfterCharactersThatSortAfterIt) {
  struct Case {
    const char* message;
    const char* shown;
  };
  for (const Case& c : {Case{"Access denied", "Access denied."}, Case{"Done.", "Done."},
                        Case{"Failed!", "Failed!"}, Case{"", ""}, Case{"a,", "a,"},
                        Case{"path/", "path/."}, Case{"code 0x8007048F", "code 0x8007048F."}}) {
    EXPECT_EQ(ApplicationErrorText(QLatin1String(c.message)), QLatin1String(c.shown)) << c.message;
  }
}
