// The face registry and the font objects of the font renderer. Rendering
// itself belongs to the backend that accepted a face.
#include "framework/fr/FR.h"

#include <cstring>

#include "framework/base/cfg.h"
#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/str.h"
#include "framework/fr/ttf.h"

const FR_Handler_t* const FR_Handlers[4] = {&FR_HandlerTTF, nullptr, nullptr, nullptr};

namespace {

struct FrState {
  int debug = 0;
  SYS_List_p faces = nullptr;  // of FR_Face_t, newest first
};
FrState fr;

#define FR_LOG(...)                                                 \
  do {                                                              \
    if (fr.debug) SYS_LOG_TAGGED(SYS_DBG_MSG, "[fr]", __VA_ARGS__); \
  } while (0)

bool IsEncoding(int encoding) {
  return encoding == FR_ENC_LATIN1 || encoding == FR_ENC_LATIN2 || encoding == FR_ENC_UTF8 || encoding == FR_ENC_UCS2;
}

int BadArgument() {
  errSetLastError(ERR_BADARG);
  return -1;
}

void ReleaseFace(FR_Face_t* face) {
  FR_DropFace(face);
  SYS_MemFree(face->name);
  SYS_MemFree(face->buffer);
  SYS_MemFree(face);
}

void ReleaseFaces() {
  for (SYS_List_p node = fr.faces; node; node = node->next) ReleaseFace(static_cast<FR_Face_t*>(node->data));
  if (fr.faces) SYS_ListRemove(fr.faces);
  fr.faces = nullptr;
}

FR_Face_t* FindFace(const char* name) {
  for (SYS_List_p node = fr.faces; node; node = node->next) {
    auto* face = static_cast<FR_Face_t*>(node->data);
    if (std::strcmp(face->name, name) == 0) return face;
  }
  return nullptr;
}

// Every setter shares the same entry: clear the error, refuse a null font.
template <class Apply>
int SetOnFont(FR_Font_t* font, Apply apply) {
  errClear();
  if (!font) return BadArgument();
  return apply(*font);
}

}  // namespace

int frDebug(void) { return fr.debug; }

int64_t frTextBytes(int encoding, const char* text) {
  if (encoding != FR_ENC_UCS2) return static_cast<int64_t>(std::strlen(text));
  int64_t n = 0;
  while (text[n] != 0 || text[n + 1] != 0) n += 2;
  return n;
}

int ftInit(void) {
  errClear();
  fr.debug = SYS_CfgHas("debug-fr");
  for (const FR_Handler_t* const* h = FR_Handlers; *h; ++h) {
    FR_LOG("  - initialize: %s\n", (*h)->name);
    if ((*h)->init() != 0) {
      SYS_ErrKeeper keep;
      ftDone();
      return -1;
    }
  }
  FR_LOG("  ...done.\n");
  return 0;
}

int ftDone(void) {
  errClear();
  // The faces go first: closing a backend ends the library their handles
  // belong to.
  ReleaseFaces();
  for (const FR_Handler_t* const* h = FR_Handlers; *h; ++h) {
    FR_LOG("  - closing: %s\n", (*h)->name);
    if ((*h)->done() != 0) FR_LOG("   - error code: %d\n", errPeekLastError());
  }
  return 0;
}

int ftLoadFace(const char* fileName) {
  errClear();
  if (!fileName) return BadArgument();
  if (FindFace(fileName)) return 0;
  // A file that cannot be opened fails with the file layer's error, which
  // also reaches the error callback with the file's name.
  SYS_File_p file = SYS_FileOpen(fileName, 0);
  if (!file) return -1;
  const int64_t size = SYS_FileSize(fileName);
  // An empty file is offered to the backends like any other, which refuse
  // it; a size the face record cannot hold is refused here.
  if (size < 0 || size > INT32_MAX) {
    SYS_FileClose(file);
    return BadArgument();
  }
  // The allocator gives no block of 0 bytes; an empty file gets one byte.
  auto* buffer = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(size > 0 ? size : 1)));
  if (!buffer) {
    SYS_ErrKeeper keep;
    SYS_FileClose(file);
    return -1;
  }
  const int64_t got = SYS_FileRead(file, buffer, size);
  SYS_FileClose(file);
  if (got != size) {
    SYS_MemFree(buffer);
    errSetLastError(ERR_READ);
    return -1;
  }
  const int result = ftAddFace(fileName, buffer, static_cast<int32_t>(size));
  if (result != 0) {
    SYS_ErrKeeper keep;
    SYS_MemFree(buffer);
  }
  return result;
}

int ftAddFace(const char* name, uint8_t* buffer, int32_t size) {
  errClear();
  if (!name || !buffer || size < 0) return BadArgument();
  if (FindFace(name)) return 0;
  auto* face = static_cast<FR_Face_t*>(SYS_MemGet(sizeof(FR_Face_t)));
  if (!face) return -1;
  face->name = SYS_StrDup(name);
  if (!face->name) {
    SYS_ErrKeeper keep;
    SYS_MemFree(face);
    return -1;
  }
  face->buffer = buffer;
  face->size = size;
  for (const FR_Handler_t* const* h = FR_Handlers; *h; ++h) {
    if ((*h)->add_face(face) != 0) continue;
    SYS_List_p list = SYS_ListAddFirst(fr.faces, face);
    if (!list) {
      SYS_ErrKeeper keep;
      face->buffer = nullptr;  // still the caller's
      ReleaseFace(face);
      return -1;
    }
    fr.faces = list;
    errClear();
    return 0;
  }
  face->buffer = nullptr;
  ReleaseFace(face);
  errSetLastError(ERR_UNSUPPORTED);
  return -1;
}

FR_Face_t* ftFindFace(const char* name) {
  errClear();
  if (!name) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  FR_Face_t* face = FindFace(name);
  if (!face) errSetLastError(ERR_NOTLISTED);
  return face;
}

FR_Font_t* ftNewFont(int encoding, uint32_t colour, int halign, int valign) {
  errClear();
  if (!IsEncoding(encoding)) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  auto* font = static_cast<FR_Font_t*>(SYS_MemGet(sizeof(FR_Font_t)));
  if (!font) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  font->encoding = encoding;
  font->colour = colour;
  font->halign = halign;
  font->valign = valign;
  font->size = FR_DEFAULT_SIZE;
  return font;
}

int ftFreeFont(FR_Font_t* font) {
  errClear();
  if (!font) return BadArgument();
  SYS_MemFree(font->face_name);
  SYS_MemFree(font);
  return 0;
}

int ftSetFont(FR_Font_t* font, const char* faceName, int size, int weight, int italic) {
  errClear();
  if (!font || !faceName) return BadArgument();
  char* copy = SYS_StrDup(faceName);
  if (!copy) return -1;
  font->size = size;
  font->weight = weight;
  font->italic = italic;
  SYS_MemFree(font->face_name);
  font->face_name = copy;
  font->face = FindFace(faceName);
  errClear();
  if (!font->face) {
    errSetLastError(ERR_NOTLISTED);
    return -1;
  }
  return 0;
}

int ftSetSize(FR_Font_t* font, int size) {
  return SetOnFont(font, [&](FR_Font_t& f) {
    f.size = size;
    return 0;
  });
}

int ftSetEncoding(FR_Font_t* font, int encoding) {
  return SetOnFont(font, [&](FR_Font_t& f) {
    if (!IsEncoding(encoding)) return BadArgument();
    f.encoding = encoding;
    return 0;
  });
}

int ftSetHAlign(FR_Font_t* font, int align) {
  return SetOnFont(font, [&](FR_Font_t& f) {
    if (align < FR_HALIGN_LEFT || align > FR_HALIGN_CENTRE) return BadArgument();
    f.halign = align;
    return 0;
  });
}

int ftSetVAlign(FR_Font_t* font, int align) {
  return SetOnFont(font, [&](FR_Font_t& f) {
    if (align < FR_VALIGN_CENTRE || align > FR_VALIGN_BOTTOM) return BadArgument();
    f.valign = align;
    return 0;
  });
}

int ftSetPosition(FR_Font_t* font, int x, int y) {
  return SetOnFont(font, [&](FR_Font_t& f) {
    f.halign = -1;
    f.valign = -1;
    f.x = x;
    f.y = y;
    return 0;
  });
}

int ftSetColor(FR_Font_t* font, uint32_t colour) {
  return SetOnFont(font, [&](FR_Font_t& f) {
    f.colour = colour;
    return 0;
  });
}

int ftSetWeight(FR_Font_t* font, int weight) {
  return SetOnFont(font, [&](FR_Font_t& f) {
    f.weight = weight;
    return 0;
  });
}

int ftSetItalic(FR_Font_t* font, int italic) {
  return SetOnFont(font, [&](FR_Font_t& f) {
    f.italic = italic;
    return 0;
  });
}

int ftRender(FR_Font_t* font, txBitmap* bitmap, const char* text, int* width, int* height) {
  errClear();
  if (!font || !bitmap || !text) return BadArgument();
  if (frTextBytes(font->encoding, text) == 0) return 0;
  if (!font->face || !font->face->render) {
    errSetLastError(ERR_UNSUPPORTED);
    return -1;
  }
  return font->face->render(font, bitmap, text, width, height) == -1 ? -1 : 0;
}
