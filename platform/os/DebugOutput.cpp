#include "platform/os/DebugOutput.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace korvane::os {

void OutputDebugString(std::string_view message) {
  // One write call per line, so that lines of several threads or processes sharing
  // the stream do not interleave; partial writes are continued.
  std::string line;
  line.reserve(message.size() + 1);
  line.append(message);
  line += '\n';
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t written = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // a closed or full stream loses the trace line, nothing more
    done += static_cast<std::size_t>(written);
  }
}

}  // namespace korvane::os
