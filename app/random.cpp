#include "app/random.h"

#include <random>

#include "platform/kernel.h"

uint32_t RandSeed = 0;

namespace {
std::mt19937 generator;  // its standard initialisation is the run-time library's
uint32_t generatorSeed = 0;
bool seeded = false;

uint32_t Next() {
  if (!seeded || generatorSeed != RandSeed) {
    generator.seed(RandSeed);
    generatorSeed = RandSeed;
    seeded = true;
  }
  return static_cast<uint32_t>(generator());
}
}  // namespace

int32_t Random(int32_t n) {
  int64_t range = n < 0 ? static_cast<int64_t>(n) + 1 : n;
  return static_cast<int32_t>((static_cast<int64_t>(Next()) * range) >> 32);
}

void RandSeedSet(uint32_t seed) {
  RandSeed = seed;
  seeded = false;
}

void Randomize(void) { RandSeedSet(static_cast<uint32_t>(timeGetTime())); }
