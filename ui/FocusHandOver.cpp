#include "ui/FocusHandOver.h"

#include <QCoreApplication>
#include <QEvent>

TFocusHandOver::TFocusHandOver()
    : FReceiver(std::make_unique<QObject>()),
      FClosing(std::make_shared<std::atomic<bool>>(false)) {}

TFocusHandOver::~TFocusHandOver() {
  FClosing->store(true);
  // A thread waits for the user-interface thread, which is here: serve its call ourselves.
  for (TWorker& worker : FWorkers) {
    while (!worker.Done->load()) {
      QCoreApplication::sendPostedEvents(FReceiver.get(), QEvent::MetaCall);
      std::this_thread::yield();
    }
    worker.Thread.join();
  }
}

void TFocusHandOver::Start(QWidget* control) {
  if (control == nullptr) return;
  JoinFinished();
  QObject* const receiver = FReceiver.get();
  const QPointer<QWidget> target(control);
  const std::shared_ptr<std::atomic<bool>> closing = FClosing;
  auto done = std::make_shared<std::atomic<bool>>(false);
  try {
    // Room first: once the thread runs, nothing may throw before it is stored.
    FWorkers.reserve(FWorkers.size() + 1);
    std::thread thread([receiver, target, closing, done] {
      QMetaObject::invokeMethod(
          receiver,
          [target, closing] {
            if (!closing->load() && target) target->setFocus();
          },
          Qt::BlockingQueuedConnection);
      done->store(true);
    });
    FWorkers.push_back({std::move(thread), std::move(done)});
  } catch (...) {
    // Without a thread the focus simply stays where the re-read left it.
  }
}

void TFocusHandOver::JoinFinished() {
  for (auto worker = FWorkers.begin(); worker != FWorkers.end();) {
    if (worker->Done->load()) {
      worker->Thread.join();
      worker = FWorkers.erase(worker);
    } else {
      ++worker;
    }
  }
}
