#pragma once
// The emulated camera's own hardware: it films the next frame on a thread of its own while
// the program handles the one before, as a real camera's sensor and encoder work beside the
// computer. A frame asked for is copied out (the camera's transfer into the buffer); only a
// frame that was not filmed ahead (the first, or one after dropped frames) is waited for.
// The thread is named "emulated camera" so that a measurement can tell its work, which a
// real camera does in hardware, from the program's.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace korvane::v4l2::emulation {

class FilmingAhead {
 public:
  // `draw` films frame `number` into memory of `capacity` bytes and returns the bytes used (0
  // when it does not fit); `frameBytes` is the most one frame takes.
  using Draw = std::function<std::size_t(std::uint64_t, unsigned char*, std::size_t)>;
  FilmingAhead(Draw draw, std::size_t frameBytes);
  ~FilmingAhead();
  FilmingAhead(const FilmingAhead&) = delete;
  FilmingAhead& operator=(const FilmingAhead&) = delete;

  // Frame `number` into out: its length, or 0 when it does not fit.
  std::size_t Take(std::uint64_t number, unsigned char* out, std::size_t capacity);

 private:
  void Run();

  Draw draw_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t wanted_ = 0;  // the frame the camera films next
  bool haveReady_ = false;
  std::uint64_t readyNumber_ = 0;  // the frame in ready_
  std::size_t readyBytes_ = 0;
  std::vector<unsigned char> ready_;
  std::vector<unsigned char> filming_;  // only the camera's thread touches it
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace korvane::v4l2::emulation
