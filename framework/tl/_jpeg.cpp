// The JPEG filter. libjpeg's own error handling ends the process; here a
// fatal error longjmps back to the function that set the jump point, which
// releases what the plain state record on the heap holds. No object with a
// destructor is alive across those frames.
#include "framework/tl/_jpeg.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>
#include <cstring>
#include <string>

#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/tl/filterutil.h"

#define TL_JPEG_LOG(level, ...) SYS_LOG_TAGGED(level, "[TL][jpeg]", __VA_ARGS__)

namespace {

using namespace tlfilter;

constexpr int64_t kJfifAt = 6;
constexpr int kMaxQuality = 100;
constexpr int kMaxSmoothing = 100;
// What the source hands the decoder once the file is used up: an
// end-of-image marker, so that a truncated file ends instead of being read
// again from its start.
const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

struct JpegErrors {
  jpeg_error_mgr mgr;  // first, so the library's pointer is this record's
  jmp_buf jump;
  void (*emit)(j_common_ptr, int);  // the library's own message routine
  bool warned;                      // the library found damaged data
};

// Prints the library's message and returns to the jump point.
void jpegErrorExit(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  (*info->err->output_message)(info);
  std::longjmp(errors->jump, 1);
}

void jpegEmitMessage(j_common_ptr info, int level) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  if (level < 0) errors->warned = true;
  errors->emit(info, level);
}

void InstallErrors(JpegErrors* errors) {
  jpeg_std_error(&errors->mgr);
  errors->mgr.error_exit = jpegErrorExit;
  errors->emit = errors->mgr.emit_message;
  errors->mgr.emit_message = jpegEmitMessage;
}

struct JpegSource {
  jpeg_source_mgr mgr;  // first, so the library's pointer is this record's
  const uint8_t* data;
  size_t size;
  bool fed;     // the file has been handed out
  bool hitEnd;  // the decoder wanted bytes past the end
};

void jpegInitSource(j_decompress_ptr) {}
void jpegTermSource(j_decompress_ptr) {}

// The whole file the first time, an end-of-image marker after that.
boolean jpegFillInputBuffer(j_decompress_ptr info) {
  auto* source = reinterpret_cast<JpegSource*>(info->src);
  if (!source->fed) {
    source->fed = true;
    source->mgr.next_input_byte = source->data;
    source->mgr.bytes_in_buffer = source->size;
  } else {
    source->hitEnd = true;
    source->mgr.next_input_byte = kFakeEoi;
    source->mgr.bytes_in_buffer = sizeof kFakeEoi;
  }
  return TRUE;
}

// A skip past the end stops at the end, where the marker waits.
void jpegSkipInputData(j_decompress_ptr info, long count) {
  if (count <= 0) return;
  auto* source = reinterpret_cast<JpegSource*>(info->src);
  if (!source->fed) jpegFillInputBuffer(info);
  if (static_cast<unsigned long>(count) > source->mgr.bytes_in_buffer) {
    jpegFillInputBuffer(info);
    return;
  }
  source->mgr.next_input_byte += count;
  source->mgr.bytes_in_buffer -= static_cast<size_t>(count);
}

// Next byte NULL and count 0: the first read asks for the file.
void PrepareSource(JpegSource* source, const uint8_t* data, size_t size) {
  *source = {};
  source->mgr.init_source = jpegInitSource;
  source->mgr.fill_input_buffer = jpegFillInputBuffer;
  source->mgr.skip_input_data = jpegSkipInputData;
  source->mgr.resync_to_restart = jpeg_resync_to_restart;
  source->mgr.term_source = jpegTermSource;
  source->data = data;
  source->size = size;
}

struct JpegReadState {
  jpeg_decompress_struct info;
  JpegErrors errors;
  JpegSource source;
  bool created;
  uint8_t* pixels;
};

void ReleaseRead(JpegReadState* s) {
  if (s->created) jpeg_destroy_decompress(&s->info);
  SYS_MemFree(s->pixels);
  SYS_MemFree(s);
}

// The decode proper; a library error leaves it by longjmp to jpegRead.
// Returns the error code or 0.
int Decode(JpegReadState* s, txBitmap* b) {
  jpeg_decompress_struct* info = &s->info;
  jpeg_CreateDecompress(info, JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct));
  s->created = true;
  info->src = &s->source.mgr;

  jpeg_read_header(info, TRUE);
  int64_t bytes = int64_t(info->image_width) * info->image_height * info->num_components;
  if (bytes <= 0 || bytes > INT32_MAX) return ERR_NOMEM;
  jpeg_start_decompress(info);
  int64_t rowBytes = int64_t(info->output_width) * info->output_components;
  bytes = rowBytes * info->output_height;
  if (bytes <= 0 || bytes > INT32_MAX) return ERR_NOMEM;
  s->pixels = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(bytes)));
  if (!s->pixels) return ERR_NOMEM;
  while (info->output_scanline < info->output_height) {
    JSAMPROW row = s->pixels + info->output_scanline * rowBytes;
    jpeg_read_scanlines(info, &row, 1);
  }
  jpeg_finish_decompress(info);
  // The data ran out inside the image: the rest would be made up.
  if (s->source.hitEnd && s->errors.warned) return TX_ERR_SHORT;

  b->width = static_cast<int32_t>(info->image_width);
  b->height = static_cast<int32_t>(info->image_height);
  b->bits = 8 * info->output_components;
  b->type = TX_TYPE_RGB;
  b->subtype = SubtypeOf(b->bits, false);
  b->sizes[0] = static_cast<int32_t>(bytes);
  return 0;
}

}  // namespace

int jpegDetect(const uint8_t* buffer, int64_t length) {
  if (!buffer || length < kJfifAt + 4) return TX_ERR_FORMAT;
  return std::memcmp(buffer + kJfifAt, "JFIF", 4) == 0 ? 0 : TX_ERR_FORMAT;
}

txBitmap* jpegRead(const uint8_t* buffer, int64_t length) {
  errClear();
  if (!buffer || length <= 0) return Fail(nullptr, TX_ERR_SHORT);
  txBitmap* const b = txNewBitmap();
  auto* s = static_cast<JpegReadState*>(SYS_MemGet(sizeof(JpegReadState)));
  if (!b || !s) {
    SYS_MemFree(s);
    return Fail(b, ERR_NOMEM);
  }
  std::memset(s, 0, sizeof *s);
  InstallErrors(&s->errors);
  s->info.err = &s->errors.mgr;
  PrepareSource(&s->source, buffer, static_cast<size_t>(length));
  if (setjmp(s->errors.jump)) {
    ReleaseRead(s);
    return Fail(b, ERR_NOMEM);
  }
  int code = Decode(s, b);
  if (code != 0) {
    ReleaseRead(s);
    return Fail(b, code);
  }
  b->data[0] = s->pixels;
  s->pixels = nullptr;
  ReleaseRead(s);
  if (txVerbose()) {
    TL_JPEG_LOG(SYS_DBG_MSG, " JPEG: %s\n", txCurrentName());
    TL_JPEG_LOG(SYS_DBG_MSG, "  size: %dx%d bits: %d\n", b->width, b->height, b->bits);
    TL_JPEG_LOG(SYS_DBG_MSG, "  imagesize[0]: %lu\n", static_cast<unsigned long>(b->sizes[0]));
  }
  return b;
}

namespace {

struct JpegWriteState {
  jpeg_compress_struct info;
  JpegErrors errors;
  bool created;
  SYS_File_p file;
};

int ReleaseWrite(JpegWriteState* s, int code) {
  if (s->created) jpeg_destroy_compress(&s->info);
  if (s->file) SYS_FileClose(s->file);
  SYS_MemFree(s);
  if (code == 0) return 0;
  errSetLastError(code);
  return -1;
}

int32_t Clamped(int32_t value, int32_t high) { return value < 0 ? 0 : value > high ? high : value; }

// The options of the loader onto the compressor, then the rows; a library
// error leaves by longjmp to JPGWRITE.
void Encode(jpeg_compress_struct* info, const uint8_t* pixels, int32_t width, int32_t height, int32_t components) {
  info->input_components = components;
  info->in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  info->image_width = static_cast<JDIMENSION>(width);
  info->image_height = static_cast<JDIMENSION>(height);
  jpeg_set_defaults(info);
  jpeg_set_quality(info, static_cast<int>(txOptionValue(TX_OPT_JPEG_QUALITY)),
                   txOptionValue(TX_OPT_JPEG_BASELINE) ? TRUE : FALSE);
  info->optimize_coding = txOptionValue(TX_OPT_JPEG_OPTIMIZE) ? TRUE : FALSE;
  info->smoothing_factor = Clamped(txOptionValue(TX_OPT_JPEG_SMOOTHING), kMaxSmoothing);
  if (txOptionValue(TX_OPT_JPEG_PROGRESSIVE)) jpeg_simple_progression(info);
  jpeg_start_compress(info, TRUE);
  const int64_t rowBytes = int64_t(width) * components;
  while (info->next_scanline < info->image_height) {
    auto row = const_cast<JSAMPROW>(pixels + info->next_scanline * rowBytes);
    jpeg_write_scanlines(info, &row, 1);
  }
  jpeg_finish_compress(info);
}

}  // namespace

int JPGWRITE(const char* path, const uint8_t* pixels, int32_t width, int32_t height, int32_t components) {
  errClear();
  if (!path || !pixels || width <= 0 || height <= 0 || (components != 1 && components != 3)) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  auto* s = static_cast<JpegWriteState*>(SYS_MemGet(sizeof(JpegWriteState)));
  if (!s) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  std::memset(s, 0, sizeof *s);
  InstallErrors(&s->errors);
  s->info.err = &s->errors.mgr;
  if (setjmp(s->errors.jump)) return ReleaseWrite(s, ERR_NOMEM);
  jpeg_CreateCompress(&s->info, JPEG_LIB_VERSION, sizeof(jpeg_compress_struct));
  s->created = true;
  s->file = SYS_FileOpen(path, SYS_FILE_WRITE);
  if (!s->file) return ReleaseWrite(s, ERR_CANTCREATE);
  // libjpeg writes through stdio: only a plain file on disk has a stream.
  if (s->file->handler != &SYS_FileHandlerRegular || !s->file->handle) return ReleaseWrite(s, ERR_CANTCREATE);
  auto* stream = static_cast<FILE*>(s->file->handle);
  jpeg_stdio_dest(&s->info, stream);
  if (txVerbose()) {
    TL_JPEG_LOG(SYS_DBG_MSG, " JPEG name: %s\n", path);
    TL_JPEG_LOG(SYS_DBG_MSG, "  size: %dx%d %dbits\n", width, height, components * 8);
  }
  Encode(&s->info, pixels, width, height, components);
  if (std::fflush(stream) != 0 || std::ferror(stream)) return ReleaseWrite(s, ERR_CANTCREATE);
  return ReleaseWrite(s, 0);
}

namespace {

// The grey companion of a colour file, named as the loader looks for it.
std::string AlphaFileName(const std::string& path) {
  size_t dot = path.rfind('.');
  size_t sep = path.find_last_of("\\/");
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return path + "_a";
  return path.substr(0, dot) + "_a" + path.substr(dot);
}

// Bytes per pixel of a writable bitmap, or 0.
int32_t StepOf(const txBitmap* b) {
  if (!b || (b->type != TX_TYPE_BGR && b->type != TX_TYPE_RGB) || !b->data[0] || b->width <= 0 || b->height <= 0)
    return 0;
  int32_t bits;
  switch (b->subtype) {
    case TX_SUB_24:
    case TX_SUB_24_SWAPPED: bits = 24; break;
    case TX_SUB_32: bits = 32; break;
    case TX_SUB_GREY: bits = 8; break;
    default: return 0;
  }
  return b->bits == bits && b->sizes[0] >= int64_t(b->width) * b->height * (bits / 8) ? bits / 8 : 0;
}

// The colour bytes of every pixel as R, G, B, whatever order the bitmap
// keeps them in.
void PackColour(const txBitmap* b, int32_t step, uint8_t* out) {
  const bool swap = b->type == TX_TYPE_BGR;
  const int64_t pixels = int64_t(b->width) * b->height;
  const uint8_t* in = b->data[0];
  for (int64_t k = 0; k < pixels; ++k, in += step, out += 3) {
    out[0] = in[swap ? 2 : 0];
    out[1] = in[1];
    out[2] = in[swap ? 0 : 2];
  }
}

void PackAlpha(const txBitmap* b, uint8_t* out) {
  const int64_t pixels = int64_t(b->width) * b->height;
  for (int64_t k = 0; k < pixels; ++k) out[k] = b->data[0][k * 4 + 3];
}

}  // namespace

int jpegWrite(const char* path, txBitmap* bitmap) {
  errClear();
  const int32_t step = StepOf(bitmap);
  if (!path || !step) {
    errSetLastError(path && bitmap ? TX_ERR_WRITETYPE : ERR_BADARG);
    return -1;
  }
  txFilterJPEG.param1 = Clamped(static_cast<int32_t>(txFilterJPEG.param1), kMaxQuality);
  const int32_t w = bitmap->width, h = bitmap->height;
  // Grey and R, G, B images go out as they are.
  if (step == 1 || (step == 3 && bitmap->type == TX_TYPE_RGB)) return JPGWRITE(path, bitmap->data[0], w, h, step);

  auto* buffer = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(int64_t(w) * h * 3)));
  if (!buffer) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  PackColour(bitmap, step, buffer);
  int result = JPGWRITE(path, buffer, w, h, 3);
  if (result == 0 && step == 4) {
    PackAlpha(bitmap, buffer);
    result = JPGWRITE(AlphaFileName(path).c_str(), buffer, w, h, 1);
  }
  SYS_ErrKeeper keep;
  SYS_MemFree(buffer);
  return result;
}
