#pragma once

#include <QObject>

// The single-instance guard. Constructing it checks whether another process of the user runs
// this program's executable file name (the first copy claims the name for its whole life);
// when another copy runs, it asks the event loop to quit at its first turn.
class TSingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit TSingleInstance(QObject* owner = nullptr);

  // Whether construction found another copy and requested the quit.
  bool GetQuitRequested() const { return FQuitRequested; }

  // The test itself: another process of the user runs this program's executable file name.
  static bool IsSelfAlreadyRunning();

 private:
  bool FQuitRequested = false;
};
