#include "ui/ApplicationWindows.h"

TApplicationWindows CreateApplicationWindows(const QStringList& arguments) {
  TApplicationWindows windows;
  windows.FormMain = std::make_unique<TFormMain>(arguments);
  windows.MessageForm = std::make_unique<TMessageForm>();
  windows.LivecamForm = std::make_unique<TLivecamForm>();
  windows.FormMain->AttachWindows(windows.MessageForm.get(), windows.LivecamForm.get());
  return windows;
}
