#include "widgets/AutoCheckBox.h"

#include <QHash>
#include <QStyle>

QSize TAutoCheckBox::sizeHint() const {
  static QHash<QString, QSize> measured;
  const QString key =
      text() + QLatin1Char('\n') + font().key() + QLatin1Char('\n') + style()->name();
  if (const auto found = measured.constFind(key); found != measured.constEnd()) return *found;
  const QSize size = QCheckBox::sizeHint();
  measured.insert(key, size);
  return size;
}
