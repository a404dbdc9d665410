// Installs the dialog as the platform's property frame.

#include <QApplication>
#include <QPointer>
#include <QThread>

#include "ui/propertyframe/PropertyFrame.h"

namespace korvane::ui {

void InstallPropertyFrame() {
  os::SetPropertyFrameHook([](const os::PropertyFrameRequest& request) -> HRESULT {
    // A window needs the application and its thread.
    if (!qApp || QThread::currentThread() != qApp->thread()) return E_UNEXPECTED;
    // Owned by the active window so it opens over it; the guard covers that window closing
    // while the frame is open, which takes the frame with it.
    QPointer<PropertyFrameDialog> frame =
        new PropertyFrameDialog(request, QApplication::activeWindow());
    frame->exec();
    delete frame.data();
    return S_OK;
  });
}

}  // namespace korvane::ui
