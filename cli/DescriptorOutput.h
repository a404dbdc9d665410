#pragma once
// The tool's standard output and error as streams that remember why a write failed, so that
// the one line reporting it can name the reason ("No space left on device").

#include <array>
#include <streambuf>

namespace korvane::cli {

class TDescriptorBuffer final : public std::streambuf {
 public:
  explicit TDescriptorBuffer(int fd);
  ~TDescriptorBuffer() override;
  TDescriptorBuffer(const TDescriptorBuffer&) = delete;
  TDescriptorBuffer& operator=(const TDescriptorBuffer&) = delete;

  // errno of the first failed write; 0 while all went out.
  int Error() const { return FError; }

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool Drain();

  int FFd;
  int FError = 0;
  std::array<char, 16384> FBuffer{};
};

}  // namespace korvane::cli
