#include "ui/singleinstance.h"

#include <QCoreApplication>

#include "platform/os/InstanceClaim.h"
#include "platform/os/OwnExecutable.h"

TSingleInstance::TSingleInstance(QObject* owner) : QObject(owner) {
  setObjectName(QStringLiteral("SingleInstance1"));
  if (!IsSelfAlreadyRunning()) return;
  FQuitRequested = true;
  // Queued, so that the windows finish their creation and the loop ends at its first turn.
  if (QCoreApplication* application = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(application, &QCoreApplication::quit, Qt::QueuedConnection);
  }
}

bool TSingleInstance::IsSelfAlreadyRunning() {
  return korvane::os::AnotherProcessClaims(korvane::os::OwnExecutableName());
}
