#pragma once

#include <QStringList>
#include <memory>

#include "ui/LiveCam.h"
#include "ui/MessageUnit.h"
#include "ui/Unit1.h"

// The program's three windows, created in the order the program needs them: the main
// window (which runs the single-instance test and its creation handler), the message
// window and the camera test window. Destroyed in the opposite order.
struct TApplicationWindows {
  std::unique_ptr<TFormMain> FormMain;
  std::unique_ptr<TMessageForm> MessageForm;
  std::unique_ptr<TLivecamForm> LivecamForm;
};

TApplicationWindows CreateApplicationWindows(const QStringList& arguments);
