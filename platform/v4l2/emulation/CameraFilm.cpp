#include "platform/v4l2/emulation/CameraFilm.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <memory>

#include "platform/graph/MediaType.h"
#include "platform/sim/TestPicture.h"
#include "platform/v4l2/emulation/FilmingAhead.h"

namespace korvane::v4l2::emulation {
namespace {

std::shared_ptr<sim::TestPicture> PictureOf(std::uint32_t fourcc, std::uint32_t width,
                                            std::uint32_t height) {
  const bool jpeg = fourcc == V4L2_PIX_FMT_MJPEG;
  if (!jpeg && fourcc != V4L2_PIX_FMT_YUYV) return nullptr;
  const graph::MediaType type = graph::MakeVideoType(
      jpeg ? MEDIASUBTYPE_MJPG : MEDIASUBTYPE_YUY2,
      static_cast<LONG>(std::min<std::uint32_t>(width, 0x7FFFFFFF)),
      static_cast<LONG>(std::min<std::uint32_t>(height, 0x7FFFFFFF)), jpeg ? 24 : 16,
      jpeg ? MakeFourCC('M', 'J', 'P', 'G') : MakeFourCC('Y', 'U', 'Y', '2'), 0, 0);
  return sim::TestPicture::For(type.View());
}

}  // namespace

const FrameFault* FaultOf(const std::vector<FrameFault>& faults, std::uint64_t number) {
  for (const FrameFault& fault : faults) {
    if (fault.every > 0 && number % fault.every == fault.every - 1) return &fault;
  }
  return nullptr;
}

FrameSource FilmAt(const CurrentFormat& format, const std::vector<FrameFault>& faults) {
  if (format.interval.denominator == 0 || format.interval.numerator == 0) return {};
  std::shared_ptr<sim::TestPicture> picture = PictureOf(format.fourcc, format.width, format.height);
  if (!picture) return {};
  // One picture per fault that films another size, by the fault's place in the list.
  std::vector<std::shared_ptr<sim::TestPicture>> others(faults.size());
  std::size_t frameBytes = picture->FrameBytes();
  for (std::size_t i = 0; i < faults.size(); ++i) {
    if (faults[i].kind != FrameFaultKind::kOtherSize) continue;
    others[i] = PictureOf(format.fourcc, faults[i].width, faults[i].height);
    if (others[i]) frameBytes = std::max(frameBytes, others[i]->FrameBytes());
  }
  auto camera = std::make_shared<FilmingAhead>(
      [picture, others, faults](std::uint64_t number, unsigned char* out, std::size_t capacity) {
        if (const FrameFault* fault = FaultOf(faults, number)) {
          const auto& other = others[static_cast<std::size_t>(fault - faults.data())];
          if (other) return other->Draw(number, out, capacity);
        }
        return picture->Draw(number, out, capacity);
      },
      frameBytes);
  FrameSource source;
  source.period = std::chrono::nanoseconds(std::int64_t{1'000'000'000} * format.interval.numerator /
                                           format.interval.denominator);
  source.draw = [camera, faults](std::uint64_t number, unsigned char* out,
                                 std::size_t capacity) -> FilmedFrame {
    const FrameFault* fault = FaultOf(faults, number);
    if (fault && fault->kind == FrameFaultKind::kEmpty) return {0, false};
    // A frame that does not fit its buffer is one the driver flags as damaged.
    const std::size_t bytes = camera->Take(number, out, capacity);
    if (bytes == 0) return {0, true};
    if (fault && fault->kind == FrameFaultKind::kTruncated) return {bytes / 2, false};
    return {bytes, fault && fault->kind == FrameFaultKind::kError};
  };
  return source;
}

}  // namespace korvane::v4l2::emulation
