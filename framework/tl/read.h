// The loader's default file access over the framework file layer: images come
// from mounted packs, the archive or plain files alike.
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

int txIOpen(const char* name);
uint8_t* txIRead(void);
int64_t txIFSize(void);
int txIClose(void);
int64_t txIFExist(const char* name);

// The five callbacks above as one record.
extern const txFunctions txDefaultFunctions;
