#include "platform/v4l2/emulation/NodeUsers.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "platform/os/FileAccess.h"

namespace korvane::v4l2::emulation {
namespace {

// A process is known by its number and its start time, so that a new process under an old
// number does not inherit the entry.
std::string StartTime(pid_t pid) {
  const os::UniqueFd fd(
      ::open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return {};
  char buffer[1024];
  const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
  if (got <= 0) return {};
  const std::string text(buffer, static_cast<std::size_t>(got));
  // The command name may hold spaces and parentheses; the fields after its last ')' do not.
  const std::size_t end = text.rfind(')');
  if (end == std::string::npos) return {};
  std::istringstream fields(text.substr(end + 1));
  std::string field;
  // state is field 3 and starttime field 22.
  for (int number = 3; number <= 22 && fields >> field; ++number) {
    if (number == 22) return field;
  }
  return {};
}

bool Runs(pid_t pid, const std::string& start) {
  if (::kill(pid, 0) != 0 && errno != EPERM) return false;
  return StartTime(pid) == start;
}

nlohmann::json ReadUsers(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return nlohmann::json::object();
  try {
    nlohmann::json users = nlohmann::json::parse(in);
    if (users.is_object()) return users;
  } catch (const nlohmann::json::exception&) {
  }
  return nlohmann::json::object();
}

}  // namespace

std::string NodeUsers::Key(const std::string& camera, bool metadata) {
  return camera + (metadata ? "/1" : "/0");
}

// Absolute, so that programs started from other folders with a relative path meet in one.
NodeUsers::NodeUsers(const std::filesystem::path& cameraFile) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(cameraFile, error);
  folder_ = (error ? cameraFile : absolute.lexically_normal()).string() + ".users";
}

int NodeUsers::Publish(const Counts& open) {
  if (publishedOnce_ && open == published_) return 0;
  if (!publishedOnce_ && open.empty()) return 0;
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  if (error) return error.value();
  const os::UniqueFd lock(::open((folder_ / "lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lock.Valid()) return errno;
  if (os::RetryOnInterrupt([&] { return ::flock(lock.Get(), LOCK_EX); }) != 0) return errno;

  const std::filesystem::path file = folder_ / "opens";
  nlohmann::json users = ReadUsers(file);
  // Entries of processes that ended go at every write.
  for (auto entry = users.begin(); entry != users.end();) {
    const std::string name = entry.key();
    const std::size_t colon = name.find(':');
    const pid_t pid = colon == std::string::npos ? 0 : std::atoi(name.c_str());
    if (pid <= 0 || !Runs(pid, name.substr(colon + 1))) {
      entry = users.erase(entry);
    } else {
      ++entry;
    }
  }
  const pid_t self = ::getpid();
  const std::string me = std::to_string(self) + ":" + StartTime(self);
  nlohmann::json mine = nlohmann::json::object();
  for (const auto& [key, count] : open) {
    if (count > 0) mine[key] = count;
  }
  if (mine.empty()) {
    users.erase(me);
  } else {
    users[me] = std::move(mine);
  }
  const std::filesystem::path next = folder_ / ("opens." + std::to_string(self));
  {
    std::ofstream out(next, std::ios::binary | std::ios::trunc);
    out << users.dump();
    if (!out.flush()) return EIO;
  }
  std::filesystem::rename(next, file, error);
  if (error) return error.value();
  published_ = open;
  publishedOnce_ = true;
  return 0;
}

int NodeUsers::Others(const std::string& key) const {
  int count = 0;
  ForEachOther(key, [&](pid_t, int open) { count += open; });
  return count;
}

std::vector<pid_t> NodeUsers::OtherProcesses(const std::string& key) const {
  std::vector<pid_t> pids;
  ForEachOther(key, [&](pid_t pid, int) { pids.push_back(pid); });
  return pids;
}

void NodeUsers::ForEachOther(const std::string& key,
                             const std::function<void(pid_t, int)>& each) const {
  const nlohmann::json users = ReadUsers(folder_ / "opens");
  const std::string self = std::to_string(::getpid()) + ":";
  for (const auto& [name, open] : users.items()) {
    if (name.starts_with(self) || !open.is_object() || !open.contains(key)) continue;
    const std::size_t colon = name.find(':');
    const pid_t pid = colon == std::string::npos ? 0 : std::atoi(name.c_str());
    if (pid <= 0 || !Runs(pid, name.substr(colon + 1))) continue;
    if (open[key].is_number_integer() && open[key].get<int>() > 0) each(pid, open[key].get<int>());
  }
}

}  // namespace korvane::v4l2::emulation
