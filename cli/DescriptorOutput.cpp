#include "cli/DescriptorOutput.h"

#include <unistd.h>

#include <cerrno>

namespace korvane::cli {

TDescriptorBuffer::TDescriptorBuffer(int fd) : FFd(fd) {
  setp(FBuffer.data(), FBuffer.data() + FBuffer.size());
}

TDescriptorBuffer::~TDescriptorBuffer() {
  Drain();
}

bool TDescriptorBuffer::Drain() {
  const char* next = pbase();
  while (FError == 0 && next < pptr()) {
    const ssize_t written = ::write(FFd, next, static_cast<std::size_t>(pptr() - next));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      FError = written < 0 ? errno : ENOSPC;
      break;
    }
    next += written;
  }
  // What could not be written is dropped: a stream that failed stays failed.
  setp(FBuffer.data(), FBuffer.data() + FBuffer.size());
  return FError == 0;
}

TDescriptorBuffer::int_type TDescriptorBuffer::overflow(int_type c) {
  if (!Drain()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

int TDescriptorBuffer::sync() {
  return Drain() ? 0 : -1;
}

}  // namespace korvane::cli
