#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <variant>

namespace korvane::os {

// Why an edit will not give new bytes ("the value contains a line break").
struct EditRefusal {
  std::string cause;
};

// The new bytes of the file from its bytes as they are now (nullptr: no file yet).
using WholeFileEdit =
    std::function<std::variant<std::string, EditRefusal>(const std::string* current)>;

// One save = one whole replacement. Under an advisory lock on the file's folder, which every
// save of this program takes, the file is read as it is now, edited, and replaced through a
// flushed temporary file renamed over it, so that another save, a crash, a full disk or a stop
// signal leaves the old file or the new one, never a mix, and no temporary file. A symbolic
// link is followed to the file it names, which is created when it does not exist yet. A file
// larger than maxBytes is refused unread, and so is an edit that would make it larger.
// Returns an empty string on success, else why it failed, without the file's name
// ("it is not a regular file"); the file is then as it was.
std::string SaveWholeFile(const std::filesystem::path& path, std::size_t maxBytes,
                          std::string_view kindOfFile, const WholeFileEdit& edit);

}  // namespace korvane::os
