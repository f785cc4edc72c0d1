// JPEG images through libjpeg: JFIF files read from memory as R, G, B or
// grey, and written as colour or grey files; an alpha channel goes to a grey
// companion file "stem_a.ext", the one the loader merges back.
//
// Where this filter does not do the plain thing, and the fault each mends:
// - the writer takes the byte order from `type` 0 or 1, not from `subtype`,
//   also for the colour of a 32-bit image (corrupted data: an image loaded
//   and saved again would have red and blue exchanged);
// - the writer refuses with 1005 a bitmap whose `bits` or level size
//   contradict its `subtype` (unsafe input);
// - JPGWRITE returns -1 with 5 on a library error instead of ending the
//   process (crash), and fails with 9 when the file cannot be written to its
//   end (failure reported as success).
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int jpegDetect(const uint8_t* buffer, int64_t length);
txBitmap* jpegRead(const uint8_t* buffer, int64_t length);
int jpegWrite(const char* path, txBitmap* bitmap);
// Writes 1- (grey) or 3-component (R, G, B) 8-bit rows, top first, with the
// loader's JPEG options; 0, or -1 with the last error set.
int JPGWRITE(const char* path, const uint8_t* pixels, int32_t width, int32_t height, int32_t components);
