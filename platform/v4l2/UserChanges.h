#pragma once
// The user's own changes of a camera, told to a watcher that guards it. While a watcher guards
// a camera that another program uses, it keeps a folder for the camera's node in the kernel's
// notes folder (Kernel::NotesFolder); every write that this program or the window makes to a
// control first touches a file named after the control in that folder. The watcher sees the
// touch through inotify before the control's change event and leaves the control to the user
// until the other program closes the camera. Without a guard there is no folder and a write
// costs one failed system call.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/os/FileAccess.h"
#include "platform/v4l2/Kernel.h"

namespace korvane::v4l2 {

// Whether this process's control writes are the user's (the default). The watcher's own writes
// put remembered settings back and are not.
void SetUserChangesNoted(bool noted);
// Before a write of the control through the node.
void NoteUserChange(const Door& door, const std::string& nodePath, std::uint32_t id);

// The guard's side: the folder made, watched, and removed with the object. It also claims the
// node for this guard: two watchers that both held a descriptor would each see the other's as
// another program's, and keep the camera powered after every other program has closed it.
class UserChangeWatch {
 public:
  UserChangeWatch() = default;
  ~UserChangeWatch();
  UserChangeWatch(const UserChangeWatch&) = delete;
  UserChangeWatch& operator=(const UserChangeWatch&) = delete;

  // 0, or the errno of the failure (ENOTSUP: the kernel has no notes folder; EBUSY: another
  // watcher guards the node now).
  int Start(const Door& door, const std::string& nodePath);
  int Descriptor() const { return fd_.Get(); }
  // Appends the controls the user changed since the last call.
  void Take(std::vector<std::uint32_t>* ids);

 private:
  // Declared first, so closed last: after the folder, which is the claim's to remove.
  os::UniqueFd claim_;
  os::UniqueFd fd_;
  std::string folder_;
};

}  // namespace korvane::v4l2
