#include "ui/ErrorDisplay.h"

#include <QMessageBox>

#include "ui/ApplicationTitle.h"

QString ApplicationErrorText(const QString& message) {
  if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
  return message;
}

void ShowApplicationError(QWidget* parent, const QString& message) {
  try {
    QMessageBox box(QMessageBox::Critical, kApplicationTitle, ApplicationErrorText(message),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("ApplicationErrorBox"));
    box.exec();
  } catch (...) {
    // The error display is the last stop; it must not throw into the event loop itself.
  }
}
