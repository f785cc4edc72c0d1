// Feeds arbitrary bytes to the memory-image Ogg Vorbis decoder: whatever the
// pages claim, decoding must stay inside the image and come to an end.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/bass/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto decoder = bass::Decoder::Open({data, size});
  if (!decoder) return 0;
  std::vector<int16_t> pcm(2048 * 2);
  // Bounded, as a corrupt stream may claim any length.
  for (int i = 0; i < 256 && decoder->Read(pcm) != 0; ++i) {
  }
  decoder->Seek(decoder->TotalFrames() / 2);
  decoder->Read(pcm);
  return 0;
}
