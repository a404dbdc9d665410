// Messages to the user (the message window and the bottom strip) and the trace log.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "platform/os/DebugOutput.h"
#include "ui/MessageUnit.h"
#include "ui/Rectangle.h"
#include "ui/Unit1.h"

namespace {

constexpr int kPanelMessageMs = 4000;

// Centres the message window over the main window, in real arithmetic truncated toward zero.
void CentreOver(QWidget& window, const QWidget& owner) {
  const double left = owner.x() + (owner.width() - window.width()) / 2.0;
  const double top = owner.y() + (owner.height() - window.height()) / 2.0;
  window.move(static_cast<int>(left), static_cast<int>(top));
}

// An interval change (re)starts the timer; setting the interval it already has does not,
// so a countdown in progress is not restarted. Interval 0 means the timer does not tick.
void SetTimerInterval(QTimer& timer, int interval) {
  if (timer.interval() == interval) return;
  timer.setInterval(interval);
  if (interval > 0) {
    timer.start();
  } else {
    timer.stop();
  }
}

}  // namespace

bool TFormMain::MessageDlgSimple(const QString& AMessage) {
  if (!MessageForm) return false;
  TMessageForm& form = *MessageForm;
  CentreOver(form, *this);
  form.setWindowTitle(QStringLiteral("Confirm"));
  form.Label1->setText(AMessage);
  form.Button2->show();
  form.Rectangle2->show();
  form.Button1->setText(QStringLiteral("Yes"));
  form.Button2->setFocus();
  const bool yes = form.exec() == TMessageForm::kResultButton1;
  form.hide();
  return yes;
}

bool TFormMain::ShowMessageSimple(const QString& AMessage) {
  if (!MessageForm) return false;
  TMessageForm& form = *MessageForm;
  CentreOver(form, *this);
  form.setWindowTitle(QStringLiteral("Information"));
  form.Label1->setText(AMessage);
  form.Button1->setFocus();
  form.Button1->setText(QStringLiteral("Ok"));
  form.Button2->hide();
  form.Rectangle2->hide();
  const bool ok = form.exec() == TMessageForm::kResultButton1;
  form.hide();
  return ok;
}

void TFormMain::ShowPanelMessage(const QString& text) {
  MessageLabel->setText(text);
  SetTimerInterval(*MessageTimer, kPanelMessageMs);
}

void TFormMain::MessageTimerTimer() {
  SetTimerInterval(*MessageTimer, 0);
  MessageLabel->clear();
}

void TFormMain::LogMe(const QString& MyMessage) {
  korvane::os::OutputDebugString(MyMessage.toStdString());
  Memo1->appendPlainText(MyMessage);
}
