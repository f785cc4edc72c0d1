#include "units/random.h"

#include "platform/kernel.h"

RandomState Rng;

namespace {
uint32_t Next() {
  if (!Rng.Seeded || Rng.GeneratorSeed != Rng.RandSeed) {
    Rng.Generator.seed(Rng.RandSeed);
    Rng.GeneratorSeed = Rng.RandSeed;
    Rng.Seeded = true;
  }
  return static_cast<uint32_t>(Rng.Generator());
}
}  // namespace

int32_t Random(int32_t n) {
  int64_t range = n < 0 ? static_cast<int64_t>(n) + 1 : n;
  return static_cast<int32_t>((static_cast<int64_t>(Next()) * range) >> 32);
}

void RandSeedSet(uint32_t seed) {
  Rng.RandSeed = seed;
  Rng.Seeded = false;
}

void Randomize(void) { RandSeedSet(static_cast<uint32_t>(timeGetTime())); }
