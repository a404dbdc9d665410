#pragma once
// The process's resident memory, for benchmarks that look for growth over many cycles.

#include <fstream>
#include <string>

inline long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}
