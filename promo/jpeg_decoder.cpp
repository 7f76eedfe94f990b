// The one place that talks to libjpeg. libjpeg reports errors through a handler that must not
// return; ours leaves with longjmp back into DecodeJpegRows. Only C objects and trivially
// destructible locals live in the frames that longjmp crosses or lands in, and everything the decode
// allocates comes from libjpeg's own pools, released by jpeg_destroy_decompress.

#include "promo/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <cstring>
#include <limits>

#include <jpeglib.h>

namespace kestrin {
namespace {

struct ErrorManager {
  jpeg_error_mgr pub;  // first member: libjpeg sees only this part
  std::jmp_buf jump;
};

[[noreturn]] void LeaveOnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Level -1 is a warning about corrupt or missing data; libjpeg would go on with made-up pixels,
// so a warning counts as an error. Trace messages (level >= 0) are dropped.
void LeaveOnWarning(j_common_ptr info, int level) {
  if (level < 0) {
    LeaveOnError(info);
  }
}

void DropMessage(j_common_ptr) {}

}  // namespace

bool DecodeJpegRows(std::span<const std::byte> bytes, JpegRowSink& sink) noexcept {
  if (bytes.empty() || bytes.size() > std::numeric_limits<unsigned long>::max()) {
    return false;
  }
  jpeg_decompress_struct info;
  std::memset(&info, 0, sizeof info);  // a failure inside jpeg_create_decompress sees mem == nullptr
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = LeaveOnError;
  errors.pub.emit_message = LeaveOnWarning;
  errors.pub.output_message = DropMessage;
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);

  int components = 0;
  if (info.num_components == 1) {
    info.out_color_space = JCS_GRAYSCALE;
    components = 1;
  } else if (info.num_components == 3) {
    info.out_color_space = JCS_RGB;
    components = 3;
  } else {
    jpeg_destroy_decompress(&info);  // CMYK and the like are not pictures we show
    return false;
  }
  if (!sink.Begin(info.image_width, info.image_height, components)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_start_decompress(&info);
  if (info.output_width != info.image_width || info.output_height != info.image_height ||
      info.output_components != components) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                             info.output_width * static_cast<JDIMENSION>(components), 1);
  while (info.output_scanline < info.output_height) {
    const JDIMENSION index = info.output_scanline;
    if (jpeg_read_scanlines(&info, row, 1) != 1) {
      jpeg_destroy_decompress(&info);
      return false;
    }
    sink.Row(index, row[0]);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace kestrin
