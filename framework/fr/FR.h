// The font renderer: a registry of font faces read through the file layer,
// font objects that pair a face with size, encoding, colour and alignment,
// and the backends that turn a line of text into pixels of a txBitmap.
// Kept differences:
// - ftDone releases the faces before it closes the backends (closing
//   FreeType first frees their handles under them: a crash).
// - ftLoadFace fails with error 3 on a file it cannot read whole, and with
//   error 10 on a size the face record cannot hold, instead of registering
//   a buffer partly unfilled (input handled unsafely).
// - ftAddFace refuses a negative size with error 10 (input handled unsafely).
#pragma once
#include <cstdint>

#include "framework/base/list.h"
#include "framework/tl/TL.h"

// Text encodings a font accepts.
#define FR_ENC_LATIN1 1
#define FR_ENC_LATIN2 2
#define FR_ENC_UTF8 20
#define FR_ENC_UCS2 30  // big-endian 16-bit codes, ended by a zero code

// Horizontal alignments; any other value starts the text at the font's x.
#define FR_HALIGN_LEFT 0
#define FR_HALIGN_RIGHT 1
#define FR_HALIGN_CENTRE 2
// Vertical alignments; any other value starts the text at the font's y.
#define FR_VALIGN_CENTRE 2
#define FR_VALIGN_TOP 3
#define FR_VALIGN_BOTTOM 4

#define FR_DEFAULT_SIZE 10

struct FT_FaceRec_;  // FreeType's face record; only the backend looks inside
struct FR_Face_t;
struct FR_Font_t;

typedef int (*FR_RenderFunc_t)(FR_Font_t* font, txBitmap* bitmap, const char* text, int* width, int* height);

// One backend; the backends are listed in FR_Handlers, ended by a null entry.
struct FR_Handler_t {
  const char* name;
  int (*init)(void);
  int (*done)(void);
  int (*add_face)(FR_Face_t* face);  // 0 when the backend keeps the face
  FR_RenderFunc_t render;
};
extern const FR_Handler_t* const FR_Handlers[4];

struct FR_Face_t {
  char* name;  // the path given to ftLoadFace (or the name given to ftAddFace)
  int32_t bold;
  int32_t italic;
  int32_t scalable;
  int32_t kerning;
  uint8_t* buffer;  // the whole font file; the backend reads it for the face's life
  int32_t size;
  int32_t reserved;
  FT_FaceRec_* ft_face;
  FR_RenderFunc_t render;
};

struct FR_Font_t {
  FR_Face_t* face;  // null until ftSetFont finds a face
  int32_t encoding;
  uint32_t colour;  // 0xRRGGBBAA
  int32_t halign;
  int32_t valign;
  int32_t x, y;
  char* face_name;
  int32_t size;  // pixels per em
  int32_t weight;
  int32_t italic;
};

int ftInit(void);
int ftDone(void);
int ftLoadFace(const char* fileName);
// The buffer must be a block of the tracked allocator. On a new face the
// registry owns it from then on; when a face of that name already exists
// (0 as well) or on -1, it stays the caller's.
int ftAddFace(const char* name, uint8_t* buffer, int32_t size);
FR_Face_t* ftFindFace(const char* name);
FR_Font_t* ftNewFont(int encoding, uint32_t colour, int halign, int valign);
int ftFreeFont(FR_Font_t* font);
int ftSetFont(FR_Font_t* font, const char* faceName, int size, int weight, int italic);
int ftSetSize(FR_Font_t* font, int size);
int ftSetEncoding(FR_Font_t* font, int encoding);
int ftSetHAlign(FR_Font_t* font, int align);
int ftSetVAlign(FR_Font_t* font, int align);
int ftSetPosition(FR_Font_t* font, int x, int y);
int ftSetColor(FR_Font_t* font, uint32_t colour);
int ftSetWeight(FR_Font_t* font, int weight);
int ftSetItalic(FR_Font_t* font, int italic);
int ftRender(FR_Font_t* font, txBitmap* bitmap, const char* text, int* width, int* height);

// Inside the renderer: the debug switch "debug-fr" as ftInit read it, and
// the number of bytes of a text in the given encoding (UCS-2 texts end at a
// zero 16-bit code, the others at a zero byte).
int frDebug(void);
int64_t frTextBytes(int encoding, const char* text);
