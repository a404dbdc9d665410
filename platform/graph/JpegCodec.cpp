#include "platform/graph/JpegCodec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
// jerror.h after jpeglib.h, which it builds on.
#include <jerror.h>

#include "platform/graph/MediaType.h"

namespace korvane::graph {
namespace {

constexpr int kQuality = 85;
// The most a picture of another size than agreed may take while it is fitted: a 4K frame in
// 32 bits, twice over.
constexpr std::size_t kMaxOwnSizeBytes = std::size_t{3840} * 2160 * 4 * 2;

// libjpeg reports a fatal error by calling error_exit, which must not return; it jumps back to
// the call that started the picture. Only plain data lives between that call and the jump.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings about damaged data are not ours to print; a picture that decodes is shown.
void Quietly(j_common_ptr, int) {}

void UseErrorManager(ErrorManager& errors) {
  jpeg_std_error(&errors.base);
  errors.base.error_exit = JumpBack;
  errors.base.emit_message = Quietly;
}

// Compressed bytes go straight into the caller's buffer; running out of it fails the picture.
struct Destination {
  jpeg_destination_mgr base;
  BYTE* start = nullptr;
  std::size_t capacity = 0;
};

void StartDestination(j_compress_ptr info) {
  auto* destination = reinterpret_cast<Destination*>(info->dest);
  destination->base.next_output_byte = destination->start;
  destination->base.free_in_buffer = destination->capacity;
}

boolean DestinationFull(j_compress_ptr info) {
  info->err->msg_code = JERR_BUFFER_SIZE;
  info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
  return FALSE;
}

void EndDestination(j_compress_ptr) {}

std::size_t RoundUp(std::size_t value, std::size_t step) {
  return (value + step - 1) / step * step;
}

}  // namespace

// --- Encoder ----------------------------------------------------------------------------------

struct JpegEncoder::Codec {
  jpeg_compress_struct info{};
  ErrorManager errors{};
  Destination destination{};
  // The YUY2 planes of one band of eight rows, padded to whole blocks by repeating the edge.
  std::vector<JSAMPLE> planes;
  std::vector<JSAMPROW> rows;

  Codec() {
    UseErrorManager(errors);
    info.err = &errors.base;
    jpeg_create_compress(&info);
    destination.base.init_destination = StartDestination;
    destination.base.empty_output_buffer = DestinationFull;
    destination.base.term_destination = EndDestination;
    info.dest = &destination.base;
  }
  ~Codec() { jpeg_destroy_compress(&info); }
};

JpegEncoder::JpegEncoder() : codec_(std::make_unique<Codec>()) {}
JpegEncoder::~JpegEncoder() = default;

std::size_t JpegEncoder::MaxEncodedSize(int width, int height) {
  // Six bytes a pixel over whole 16 x 16 blocks is more than any baseline picture with
  // subsampled or full chroma can need, plus room for the headers and tables.
  return RoundUp(static_cast<std::size_t>(std::max(width, 1)), 16) *
             RoundUp(static_cast<std::size_t>(std::max(height, 1)), 16) * 6 +
         2048;
}

std::size_t JpegEncoder::EncodeYuy2(const BYTE* pixels, int width, int height, BYTE* out,
                                    std::size_t capacity) {
  if (!pixels || !out || width < 2 || width % 2 != 0 || height < 1 || width > kMaxPictureSide ||
      height > kMaxPictureSide) {
    return 0;
  }
  Codec& codec = *codec_;
  const std::size_t lumaWidth = RoundUp(static_cast<std::size_t>(width), 16);
  const std::size_t chromaWidth = RoundUp(static_cast<std::size_t>(width) / 2, 8);
  codec.planes.resize((lumaWidth + 2 * chromaWidth) * DCTSIZE);
  codec.rows.resize(3 * DCTSIZE);
  JSAMPROW* lumaRows = codec.rows.data();
  JSAMPROW* blueRows = lumaRows + DCTSIZE;
  JSAMPROW* redRows = blueRows + DCTSIZE;
  for (int i = 0; i < DCTSIZE; ++i) {
    lumaRows[i] = codec.planes.data() + i * lumaWidth;
    blueRows[i] = codec.planes.data() + DCTSIZE * lumaWidth + i * chromaWidth;
    redRows[i] = codec.planes.data() + DCTSIZE * (lumaWidth + chromaWidth) + i * chromaWidth;
  }
  JSAMPARRAY components[3] = {lumaRows, blueRows, redRows};
  const std::size_t pairs = static_cast<std::size_t>(width) / 2;
  codec.destination.start = out;
  codec.destination.capacity = capacity;

  jpeg_compress_struct& info = codec.info;
  if (setjmp(codec.errors.jump)) {
    jpeg_abort_compress(&info);
    return 0;
  }
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_YCbCr;
  jpeg_set_defaults(&info);
  jpeg_set_colorspace(&info, JCS_YCbCr);
  jpeg_set_quality(&info, kQuality, TRUE);
  info.raw_data_in = TRUE;
  info.comp_info[0].h_samp_factor = 2;
  info.comp_info[0].v_samp_factor = 1;
  for (int c = 1; c < 3; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const int top = static_cast<int>(info.next_scanline);
    for (int i = 0; i < DCTSIZE; ++i) {
      const BYTE* source =
          pixels + static_cast<std::size_t>(std::min(top + i, height - 1)) * pairs * 4;
      JSAMPROW luma = lumaRows[i], blue = blueRows[i], red = redRows[i];
      for (std::size_t pair = 0; pair < pairs; ++pair, source += 4) {
        luma[2 * pair] = source[0];
        blue[pair] = source[1];
        luma[2 * pair + 1] = source[2];
        red[pair] = source[3];
      }
      std::fill(luma + 2 * pairs, luma + lumaWidth, luma[2 * pairs - 1]);
      std::fill(blue + pairs, blue + chromaWidth, blue[pairs - 1]);
      std::fill(red + pairs, red + chromaWidth, red[pairs - 1]);
    }
    jpeg_write_raw_data(&info, components, DCTSIZE);
  }
  jpeg_finish_compress(&info);
  return capacity - codec.destination.base.free_in_buffer;
}

std::size_t JpegEncoder::EncodeBgr(const BYTE* pixels, int width, int height, int bytesPerPixel,
                                   bool bottomUp, BYTE* out, std::size_t capacity) {
  if (!pixels || !out || (bytesPerPixel != 3 && bytesPerPixel != 4) || width < 1 || height < 1 ||
      width > kMaxPictureSide || height > kMaxPictureSide) {
    return 0;
  }
  Codec& codec = *codec_;
  const std::size_t stride = DibStride(width, static_cast<WORD>(bytesPerPixel * 8));
  codec.destination.start = out;
  codec.destination.capacity = capacity;

  jpeg_compress_struct& info = codec.info;
  if (setjmp(codec.errors.jump)) {
    jpeg_abort_compress(&info);
    return 0;
  }
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = bytesPerPixel;
  info.in_color_space = bytesPerPixel == 3 ? JCS_EXT_BGR : JCS_EXT_BGRX;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, kQuality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const std::size_t line = info.next_scanline;
    const std::size_t memoryRow = bottomUp ? static_cast<std::size_t>(height) - 1 - line : line;
    JSAMPROW row = const_cast<JSAMPROW>(pixels + memoryRow * stride);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  return capacity - codec.destination.base.free_in_buffer;
}

// --- Decoder ----------------------------------------------------------------------------------

struct JpegDecoder::Codec {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  std::vector<BYTE> ownSize;  // a picture of another size, before it is fitted

  Codec() {
    UseErrorManager(errors);
    info.err = &errors.base;
    jpeg_create_decompress(&info);
  }
  ~Codec() { jpeg_destroy_decompress(&info); }
};

JpegDecoder::JpegDecoder() : codec_(std::make_unique<Codec>()) {}
JpegDecoder::~JpegDecoder() = default;

namespace {

// Rows as libjpeg hands them out, into rows of stride bytes from `out`, bottom row first when
// bottomUp. Data cut short ends the scan early; the rows after the cut come as the decoder
// fills them (from the last of the data), so the picture shows as far as it arrived.
void ReadRows(jpeg_decompress_struct& info, BYTE* out, std::size_t stride, bool bottomUp) {
  const std::size_t height = info.output_height;
  while (info.output_scanline < info.output_height) {
    const std::size_t line = info.output_scanline;
    const std::size_t memoryRow = bottomUp ? height - 1 - line : line;
    JSAMPROW row = out + memoryRow * stride;
    jpeg_read_scanlines(&info, &row, 1);
  }
}

// The picture in `from` (top row first, packed rows of width x pixel bytes) stretched to fill
// width x height rows of `out`, each pixel taken from its nearest source pixel.
void Fit(const BYTE* from, int fromWidth, int fromHeight, int pixel, BYTE* out, int width,
         int height, std::size_t stride, bool bottomUp) {
  const std::size_t fromStride = static_cast<std::size_t>(fromWidth) * pixel;
  std::vector<int> columns(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) {
    columns[static_cast<std::size_t>(x)] =
        static_cast<int>(static_cast<long long>(x) * fromWidth / width) * pixel;
  }
  for (int y = 0; y < height; ++y) {
    const BYTE* source =
        from +
        static_cast<std::size_t>(static_cast<long long>(y) * fromHeight / height) * fromStride;
    BYTE* row = out + static_cast<std::size_t>(bottomUp ? height - 1 - y : y) * stride;
    for (int x = 0; x < width; ++x) {
      std::copy_n(source + columns[static_cast<std::size_t>(x)], pixel, row + x * pixel);
    }
  }
}

}  // namespace

bool JpegDecoder::DecodeBgr(const BYTE* data, std::size_t length, int width, int height,
                            int bytesPerPixel, bool bottomUp, BYTE* out) {
  if (!data || length == 0 || !out || (bytesPerPixel != 3 && bytesPerPixel != 4) || width < 1 ||
      height < 1) {
    return false;
  }
  const std::size_t stride = DibStride(width, static_cast<WORD>(bytesPerPixel * 8));
  jpeg_decompress_struct& info = codec_->info;
  if (setjmp(codec_->errors.jump)) {
    jpeg_abort_decompress(&info);
    return false;
  }
  jpeg_mem_src(&info, data, static_cast<unsigned long>(length));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || info.image_width < 1 ||
      info.image_height < 1 || info.image_width > kMaxPictureSide ||
      info.image_height > kMaxPictureSide) {
    jpeg_abort_decompress(&info);
    return false;
  }
  info.out_color_space = bytesPerPixel == 3 ? JCS_EXT_BGR : JCS_EXT_BGRA;
  const bool ownSize = info.image_width == static_cast<JDIMENSION>(width) &&
                       info.image_height == static_cast<JDIMENSION>(height);
  if (ownSize) {
    jpeg_start_decompress(&info);
    ReadRows(info, out, stride, bottomUp);
    jpeg_finish_decompress(&info);
    return true;
  }
  // A camera that sends another size than it agreed to: the picture is shown all the same,
  // decoded at its own size and stretched to the agreed one. A much larger picture is decoded
  // scaled down by libjpeg first, which also keeps the memory of a hostile size in bounds.
  for (const unsigned denominator : {8u, 4u, 2u}) {
    if (info.image_width / denominator >= static_cast<JDIMENSION>(width) &&
        info.image_height / denominator >= static_cast<JDIMENSION>(height)) {
      info.scale_num = 1;
      info.scale_denom = denominator;
      break;
    }
  }
  jpeg_calc_output_dimensions(&info);
  const int fromWidth = static_cast<int>(info.output_width);
  const int fromHeight = static_cast<int>(info.output_height);
  const std::size_t fromStride = static_cast<std::size_t>(fromWidth) * bytesPerPixel;
  if (fromStride * static_cast<std::size_t>(fromHeight) > kMaxOwnSizeBytes) {
    jpeg_abort_decompress(&info);
    return false;
  }
  codec_->ownSize.resize(fromStride * static_cast<std::size_t>(fromHeight));
  jpeg_start_decompress(&info);
  ReadRows(info, codec_->ownSize.data(), fromStride, false);
  jpeg_finish_decompress(&info);
  Fit(codec_->ownSize.data(), fromWidth, fromHeight, bytesPerPixel, out, width, height, stride,
      bottomUp);
  return true;
}

}  // namespace korvane::graph
