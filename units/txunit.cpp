// The texture-loader binding unit.
#include "units/txunit.h"

#include "units/sysunit.h"

txBitmap* TxLoad(const ShortString& name) {
  // The conversion buffer is shared by every unit; the loader copies the
  // name before anything can overwrite it.
  return txLoad(PasStr(name));
}

int TxSave(int32_t id, const ShortString& name, txBitmap* bitmap) { return txSave(id, PasStr(name), bitmap); }

void TextureLoaderInit(void) { txInit(nullptr); }

void TextureLoaderDone(void) {}

void TextureLoaderUnitInit(void) {
  RegisterInit("Texture loader ...", 4, TextureLoaderInit);
  RegisterExit("Uninit texture loader ...", 4, TextureLoaderDone);
}
