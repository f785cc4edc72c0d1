// The run-time library's random generator: MT19937 with seed 0 until the
// program seeds it, Random(n) from the high half of output x n. One
// generator for the whole program: the music disk and the 3D engine draw
// from the same sequence.
#pragma once
#include <cstdint>
#include <random>

// The generator's state: the seed as set, and the generator started from
// it at the first draw after each change.
struct RandomState {
  uint32_t RandSeed = 0;
  std::mt19937 Generator;  // its standard initialisation is the run-time library's
  uint32_t GeneratorSeed = 0;
  bool Seeded = false;
};
extern RandomState Rng;
// 0 <= result < n for n > 0; for n < 0, n + 1 is used.
int32_t Random(int32_t n);
// A new seed; the next draw starts the generator from it.
void RandSeedSet(uint32_t seed);
// Seeds from the system's millisecond tick count.
void Randomize(void);
