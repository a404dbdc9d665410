#include "platform/os/TemporaryFileSignals.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstring>

namespace korvane::os {
namespace {

constexpr std::array<int, 3> kStopSignals = {SIGINT, SIGTERM, SIGHUP};

std::mutex gArmedMutex;
// Written only while no handler of ours is armed, read by the handler.
char gTemporaryPath[PATH_MAX];
std::atomic<bool> gArmed{false};
std::array<bool, kStopSignals.size()> gTakenOver{};

void RemoveThenStop(int signal) {
  if (gArmed.load()) ::unlink(gTemporaryPath);
  // The signal is blocked while its handler runs: raised again with the default action, it
  // ends the process as soon as the handler returns.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

RemoveOnStopSignal::RemoveOnStopSignal() : lock_(gArmedMutex) {
  for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
    struct sigaction previous {};
    gTakenOver[i] = false;
    if (::sigaction(kStopSignals[i], nullptr, &previous) != 0) continue;
    if (previous.sa_handler != SIG_DFL || (previous.sa_flags & SA_SIGINFO) != 0) continue;
    struct sigaction remove {};
    remove.sa_handler = &RemoveThenStop;
    sigemptyset(&remove.sa_mask);
    gTakenOver[i] = ::sigaction(kStopSignals[i], &remove, nullptr) == 0;
  }
}

RemoveOnStopSignal::~RemoveOnStopSignal() {
  Disarm();
  for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
    if (gTakenOver[i]) ::signal(kStopSignals[i], SIG_DFL);
  }
}

void RemoveOnStopSignal::Disarm() {
  gArmed.store(false);
}

void RemoveOnStopSignal::Arm(const std::filesystem::path& temporary) {
  gArmed.store(false);
  const std::string& text = temporary.native();
  if (text.size() >= sizeof gTemporaryPath) return;
  std::memcpy(gTemporaryPath, text.c_str(), text.size() + 1);
  gArmed.store(true);
}

}  // namespace korvane::os
