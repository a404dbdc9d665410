// The removal notification of controls.

#include "camera/FControl.h"

#include <algorithm>

#include "camera/FCamera.h"

TFControl::~TFControl() {
  NotifyRemoval();
}

void TFControl::FreeNotification(TFCamera& Component) {
  if (std::find(FNotified.begin(), FNotified.end(), &Component) == FNotified.end())
    FNotified.push_back(&Component);
}

void TFControl::RemoveFreeNotification(TFCamera& Component) {
  std::erase(FNotified, &Component);
}

void TFControl::NotifyRemoval() {
  // Taken out first: a component that hears of it lets go of this control at once.
  const std::vector<TFCamera*> Notified = std::exchange(FNotified, {});
  for (TFCamera* Component : Notified) Component->Notification(this, opRemove);
}
