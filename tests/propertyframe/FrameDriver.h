#pragma once
// Drives the modal property frame from inside its own event loop: the test opens the frame
// the way the program does and gets the dialog handed over as soon as it shows.

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>

namespace korvane::ui::testing {

// Calls drive with the first modal widget of type W and object name (any name when empty)
// once it is visible, while open() runs its modal loop. A widget still open after drive is
// rejected, so a failed expectation never leaves the test waiting.
// The returned timer is the watch; deleting it stops watching.
template <class W = QDialog>
QPointer<QTimer> WhenModalShows(const QString& name, std::function<void(W&)> drive) {
  auto* poll = new QTimer;
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, name, drive] {
    W* const found = qobject_cast<W*>(QApplication::activeModalWidget());
    if (found == nullptr || !found->isVisible() ||
        (!name.isEmpty() && found->objectName() != name)) {
      return;
    }
    const QPointer<W> widget(found);
    poll->stop();
    poll->deleteLater();
    drive(*found);
    if (!widget.isNull() && found->isVisible()) found->reject();
  });
  poll->start();
  return poll;
}

// Runs open(), which shows the frame modally, and drives the frame while it is open.
inline void WithFrame(const std::function<void()>& open, std::function<void(QDialog&)> drive) {
  const QPointer<QTimer> poll =
      WhenModalShows<QDialog>(QStringLiteral("PropertyFrame"), std::move(drive));
  // Also when open() raised before any frame showed: the watch must not outlive the test.
  struct StopWatching {
    const QPointer<QTimer>& poll;
    ~StopWatching() { delete poll.data(); }
  } stop{poll};
  open();
}

}  // namespace korvane::ui::testing
