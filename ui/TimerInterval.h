#pragma once

#include <QTimer>

// The window's timers keep running and are silenced by an interval of 0, so that setting an
// interval is what starts or stops them. An interval change (re)starts the timer; setting the
// interval it already has does not, so a countdown in progress is not restarted.
inline void SetTimerInterval(QTimer& timer, int interval) {
  if (timer.interval() == interval) return;
  timer.setInterval(interval);
  if (interval > 0) {
    timer.start();
  } else {
    timer.stop();
  }
}
