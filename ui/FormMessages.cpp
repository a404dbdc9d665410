// Messages to the user (the message window and the bottom strip) and the trace log.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "platform/os/DebugOutput.h"
#include "ui/MessageUnit.h"
#include "ui/Rectangle.h"
#include "ui/TimerInterval.h"
#include "ui/Unit1.h"

namespace {

constexpr int kPanelMessageMs = 4000;

// Centres the message window over the main window, in real arithmetic truncated toward zero.
void CentreOver(QWidget& window, const QWidget& owner) {
  const double left = owner.x() + (owner.width() - window.width()) / 2.0;
  const double top = owner.y() + (owner.height() - window.height()) / 2.0;
  window.move(static_cast<int>(left), static_cast<int>(top));
}

}  // namespace

bool TFormMain::MessageDlgSimple(const QString& AMessage) {
  return RunMessageForm(QStringLiteral("Confirm"), AMessage, true);
}

bool TFormMain::ShowMessageSimple(const QString& AMessage) {
  return RunMessageForm(QStringLiteral("Information"), AMessage, false);
}

// Every use sets the caption, the text and the buttons anew, so a question can follow an
// information and the other way round. The focused button is the one Enter presses: "No"
// for a question, "Ok" for an information.
bool TFormMain::RunMessageForm(const QString& caption, const QString& text, bool question) {
  TMessageForm* const form = MessageForm.data();
  if (form == nullptr) return false;
  CentreOver(*form, *this);
  form->setWindowTitle(caption);
  form->Label1->setText(text);
  form->Button2->setVisible(question);
  form->Rectangle2->setVisible(question);
  form->Button1->setText(question ? QStringLiteral("Yes") : QStringLiteral("Ok"));
  if (question) {
    form->Button2->setFocus();
  } else {
    form->Button1->setFocus();
  }
  const bool first = form->exec() == TMessageForm::kResultButton1;
  form->hide();
  return first;
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
  TraceMemo()->appendPlainText(MyMessage);
}
