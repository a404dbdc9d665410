#include "platform/v4l2/emulation/StreamClaims.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>

namespace korvane::v4l2::emulation {

StreamClaims::StreamClaims(const std::filesystem::path& file) {
  if (file.empty()) return;
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(file, error);
  file_ = (error ? std::filesystem::absolute(file, error) : canonical).string();
}

bool StreamClaims::Hold(const std::string& camera) {
  if (file_.empty() || held_.contains(camera)) return true;
  os::UniqueFd claim(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  // Without sockets the rule holds inside this program alone, as it did before.
  if (!claim.Valid()) return true;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // The abstract name (a leading NUL) of the camera in its file, short enough for any path.
  char name[64];
  const auto length =
      std::snprintf(name, sizeof(name), "korvane-v4l2-stream-%016zx",
                    std::hash<std::string>{}(file_ + std::string(1, '\0') + camera));
  std::memcpy(address.sun_path + 1, name, static_cast<std::size_t>(length));
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  if (::bind(claim.Get(), reinterpret_cast<const sockaddr*>(&address), size) != 0) {
    return errno != EADDRINUSE;
  }
  held_.emplace(camera, std::move(claim));
  return true;
}

void StreamClaims::Release(const std::string& camera) {
  held_.erase(camera);
}

}  // namespace korvane::v4l2::emulation
