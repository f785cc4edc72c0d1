// Feeds arbitrary bytes to the glyph-set reader as "fontset.dat" and as the
// scroll text, then draws with them: whatever the separators say, reading
// stays inside the bytes and writing inside the glyph tables and buffers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/glyphs.h"
#include "testsupport/app/gl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  apptest::InstallGLRecorder();
  // A copy of exactly the input's size, so a read past it is caught.
  std::vector<uint8_t> bytes(data, data + size);
  BuildGlyphTextures(bytes.data(), static_cast<int64_t>(bytes.size()));
  Glyphs.ScrollText = bytes.data();
  Glyphs.ScrollLength = static_cast<int64_t>(bytes.size());
  const ShortString text(std::string_view(reinterpret_cast<const char*>(data), size < 255 ? size : 255));
  DrawText16(text, 0, 0);
  DrawText32Centered(text, 640, 0);
  for (float offset : {-1e9f, 0.0f, 7.5f, 1e9f}) {
    DrawScroller16(1280, 84, offset);
    DrawScroller32(1280, 88, offset);
  }
  Glyphs.ScrollText = nullptr;
  Glyphs.ScrollLength = 0;
  return 0;
}
