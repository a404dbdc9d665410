#include "platform/os/InstanceClaim.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>

namespace korvane::os {

std::optional<InstanceClaim> InstanceClaim::Take(std::string_view name) {
  // Abstract names start with a zero byte and live in the kernel only, per network
  // namespace; close-on-exec keeps programs this one starts from holding the claim.
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string key =
      "korvane-instance/" + std::to_string(::getuid()) + "/" + std::string(name);
  // A name longer than an address holds is cut; executable names that long are not met.
  const std::size_t length = std::min(key.size(), sizeof(address.sun_path) - 1);
  std::memcpy(address.sun_path + 1, key.data(), length);
  UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.Valid()) return std::nullopt;
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  if (::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), size) != 0) {
    return std::nullopt;
  }
  return InstanceClaim(std::move(socket));
}

bool AnotherProcessClaims(std::string_view exeName) {
  static std::mutex guard;
  static std::map<std::string, InstanceClaim, std::less<>> held;
  const std::lock_guard lock(guard);
  if (held.contains(exeName)) return false;
  std::optional<InstanceClaim> claim = InstanceClaim::Take(exeName);
  if (!claim) return true;
  held.emplace(std::string(exeName), std::move(*claim));
  return false;
}

}  // namespace korvane::os
