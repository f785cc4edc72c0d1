// The texture loader: image files in, txBitmap records out. Files are read
// whole through exchangeable callbacks, the format is found by asking each
// filter of one fixed table, and the decoded image is post-processed (alpha
// map, colour order, flip, quality) before the caller gets it.
//
// Where the loader does not do the plain thing, and the fault each mends:
// - after the colour-order swap `type` names the order the bytes now have
//   (corrupted data: writers and uploads would exchange red and blue again);
// - the flip turns every level, not only level 0 (plainly wrong result:
//   mipmaps upside down against their image);
// - the quality step never asks for a side below 1 pixel (crash);
// - a '.' before the last folder separator starts no extension of the alpha
//   image's name (plainly wrong result: it would be looked for elsewhere);
// - a load before txInit installed callbacks fails with 10 (crash);
// - txCreateDummy gets no block for more bytes than a level size counts, and
//   level numbers outside 0-12 read nothing (corrupted data; crash);
// - a DXT format refused by its switch is off even if set before txInit
//   (plainly wrong result: the switch would not refuse it).
#pragma once
#include <cstdint>

#define TX_LEVELS 13

// Error codes of the loader and its filters (besides the shared 1, 3, 5, 10).
#define TX_ERR_FORMAT 1000     // no filter accepts the data, no writer, fewer than 24 bits
#define TX_ERR_NULL 1001       // txDup of NULL
#define TX_ERR_SHORT 1002      // the file is too short for its format
#define TX_ERR_ALPHA 1003      // txAddAlphaChannel cannot load its image
#define TX_ERR_DEPTH 1004      // unsupported depth or encoding
#define TX_ERR_WRITETYPE 1005  // a writer cannot store this type/subtype

// Values of txBitmap::type.
#define TX_TYPE_BGR 0         // B, G, R (then A)
#define TX_TYPE_RGB 1         // R, G, B (then A)
#define TX_TYPE_COMPRESSED 5  // DXT blocks kept for the GL

// Values of txBitmap::subtype for uncompressed images.
#define TX_SUB_24 0
#define TX_SUB_24_SWAPPED 1
#define TX_SUB_32 2
#define TX_SUB_GREY 3
#define TX_SUB_PALETTE 4
#define TX_SUB_OTHER (-1)

typedef int32_t TImageSizeArray[TX_LEVELS];
typedef uint8_t* TImageArray[TX_LEVELS];
typedef TImageArray* PImageArray;
typedef TImageSizeArray* PImageSizeArray;

struct txBitmap {
  int32_t type;
  int32_t subtype;
  int32_t filter;
  int32_t fourcc;
  int32_t width;
  int32_t height;
  int32_t bits;
  int32_t levels;
  uint8_t* comment;  // a tracked block (a reader's palette) or NULL; owned by the bitmap
  TImageSizeArray sizes;
  TImageArray data;
};
typedef txBitmap* pxBitmap;

// The file access of the loader; only one file is open at a time.
typedef int (*fOpen)(const char* name);  // 0 = open
typedef uint8_t* (*fRead)(void);         // a tracked buffer holding the whole file
typedef int64_t (*fFSize)(void);         // size of the open file
typedef int (*fClose)(void);
typedef int64_t (*fFExist)(const char* name);  // size, negative when absent

struct txFunctions {
  ::fOpen fOpen;
  ::fRead fRead;
  ::fFSize fFSize;
  ::fClose fClose;
  ::fFExist fFExist;
};
typedef txFunctions* pxFunctions;

// One image format. detect gives 0 for a buffer of its format; read returns a
// new bitmap or NULL with the last error set; write returns 0 or -1.
struct txFilter {
  int32_t id;
  const char* name;
  const char* description;
  int (*detect)(const uint8_t* buffer, int64_t length);
  txBitmap* (*read)(const uint8_t* buffer, int64_t length);
  int (*write)(const char* path, txBitmap* bitmap);
  intptr_t param1;  // pointer-sized: the TGA filter keeps its comment text here
  intptr_t param2;
};

// The filter table in detection order, NULL-terminated.
extern txFilter* const txFilters[];
extern txFilter txFilterBMP, txFilterPNG, txFilterTGA, txFilterJPEG, txFilterDDS, txFilterQTX, txFilterPNM,
    txFilterDICOM;

// Option numbers of txOptions.
#define TX_OPT_KEEPDXT 0
#define TX_OPT_VERBOSE 1
#define TX_OPT_QUALITY 2
#define TX_OPT_ORDER 3
#define TX_OPT_FLIP 4
#define TX_OPT_JPEG_BASELINE 5
#define TX_OPT_JPEG_PROGRESSIVE 6
#define TX_OPT_JPEG_OPTIMIZE 7
#define TX_OPT_JPEG_SMOOTHING 8
#define TX_OPT_JPEG_QUALITY 9
#define TX_OPT_PNG_LEVEL 11
#define TX_OPT_GETORDER 12
#define TX_OPT_DXT1 0x83F0
#define TX_OPT_DXT3 0x83F2
#define TX_OPT_DXT5 0x83F3

int txInit(const txFunctions* functions);
txBitmap* txLoad(const char* name);
int txSave(int32_t id, const char* path, txBitmap* bitmap);
int txFree(txBitmap** bitmap);
txBitmap* txDup(const txBitmap* bitmap);
txBitmap* txCreateDummy(int32_t kind, int32_t width, int32_t height);
int txOptions(int32_t option, int32_t value);
int txAddAlphaChannel(const char* name, txBitmap* bitmap);
int txSwapRB(txBitmap* bitmap);
int32_t txGetBits(const txBitmap* bitmap);
uint8_t* txGetLevelData(const txBitmap* bitmap, int32_t level);
int32_t txGetLevelSize(const txBitmap* bitmap, int32_t level);
txFilter* txFindFilter(const uint8_t* buffer, int64_t length);
int txGetLastError(void);

// For the filters: the current value of an option (0 for unknown numbers),
// the verbose flag and the name of the image being loaded ("" outside a load).
int32_t txOptionValue(int32_t option);
int txVerbose(void);
const char* txCurrentName(void);

// Helpers shared by the filters: a zero-filled one-level bitmap record
// without pixels, and the exchange of rows j and rows - 1 - j of a buffer.
txBitmap* txNewBitmap(void);
int txFlipRows(uint8_t* pixels, int64_t rowBytes, int64_t rows);
