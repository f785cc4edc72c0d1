// The texture-loader binding unit: starts the loader as registry entry 4
// with its default file access and passes the units' short strings to it.
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"
#include "units/shortstr.h"

txBitmap* TxLoad(const ShortString& name);
int TxSave(int32_t id, const ShortString& name, txBitmap* bitmap);

void TextureLoaderInit(void);
void TextureLoaderDone(void);
// The unit initialisation: registers init and exit procedure 4.
void TextureLoaderUnitInit(void);
