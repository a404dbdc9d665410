#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

// Gives a control the input focus once the user-interface thread is free again: a
// short-lived thread queues the change to the user-interface thread, waits until it has run
// and ends. Destroying the object (with the window) finishes every such thread first, running
// their queued calls as no-ops, so nothing waits on a window that is gone.
class TFocusHandOver {
 public:
  TFocusHandOver();
  ~TFocusHandOver();
  TFocusHandOver(const TFocusHandOver&) = delete;
  TFocusHandOver& operator=(const TFocusHandOver&) = delete;

  // Returns at once; the focus moves when the user-interface thread next serves queued calls.
  // A control deleted before then is left alone.
  void Start(QWidget* control);
  // Threads started and not yet joined.
  std::size_t Pending() const { return FWorkers.size(); }

 private:
  struct TWorker {
    std::thread Thread;
    std::shared_ptr<std::atomic<bool>> Done;
  };
  void JoinFinished();

  // Lives on the user-interface thread; the queued calls are delivered to it.
  std::unique_ptr<QObject> FReceiver;
  std::shared_ptr<std::atomic<bool>> FClosing;
  std::vector<TWorker> FWorkers;
};
