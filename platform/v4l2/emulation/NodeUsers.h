#pragma once
// Which processes hold the emulated cameras' nodes open, kept where every process on the same
// camera file sees it: a folder beside the file ("<file>.users") with one small file in it,
// rewritten by a rename whenever a process's open files of a node change. A process watching
// that folder learns of another's opens and closes as the kernel's file watch tells of them on
// a real machine. An entry of a process that has ended (killed before it could remove it, or a
// new process under the same number) does not count.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace korvane::v4l2::emulation {

class NodeUsers {
 public:
  // A node is named by its camera's id and its index (0 capture, 1 metadata), the same in
  // every process, where node numbers may differ after plugging in again.
  using Counts = std::map<std::string, int>;
  static std::string Key(const std::string& camera, bool metadata);

  explicit NodeUsers(const std::filesystem::path& cameraFile);

  const std::filesystem::path& Folder() const { return folder_; }
  // This process's open files now; written only when they changed since the last call. An
  // empty map removes the process's entry. 0, or the errno of the failure.
  int Publish(const Counts& open);
  // The open files of the node in the other processes that still run.
  int Others(const std::string& key) const;
  // Those processes.
  std::vector<pid_t> OtherProcesses(const std::string& key) const;

 private:
  // Each other process that still runs and holds the node, with its open files of it.
  void ForEachOther(const std::string& key, const std::function<void(pid_t, int)>& each) const;

  std::filesystem::path folder_;
  Counts published_;
  bool publishedOnce_ = false;
};

}  // namespace korvane::v4l2::emulation
