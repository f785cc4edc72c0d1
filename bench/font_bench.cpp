// Rendering a paragraph at 16 px into a 32-bit bitmap through the font
// renderer against FreeType alone: each character loaded without hinting,
// rendered, kerned against the one before and blitted with the same blend.
// The renderer should cost at most 10 % more. Both run in turns, round after
// round, so that a busy moment of the machine weighs on both alike; the
// medians are compared.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "framework/fr/FR.h"
#include "bench/benchutil.h"

namespace {

using bench::Median;

constexpr const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kSize = 16;
constexpr int kLineHeight = 20;
constexpr int kWidth = 640;
constexpr int kRounds = 15;
constexpr int kParagraphsPerRound = 40;
constexpr uint32_t kColour = 0xE0C0A0FFu;
constexpr double kGoal = 1.10;

const char* const kParagraph[] = {
    "The quick brown fox jumps over the lazy dog, and then it sits",
    "down by the river to watch the boats drift past the old mill.",
    "Sphinx of black quartz, judge my vow! AVAWAY To Wa LT Yo P.",
    "Pack my box with five dozen liquor jugs; how vexingly quick",
    "daft zebras jump. 0123456789 (brackets) [square] {curly} #$%&",
    "Every caption, label and button text of a dialog is drawn so.",
};
constexpr int kLines = sizeof kParagraph / sizeof kParagraph[0];
constexpr int kHeight = kLines * kLineHeight + kSize;

int GlyphsPerParagraph() {
  int n = 0;
  for (const char* line : kParagraph) n += static_cast<int>(std::strlen(line));
  return n;
}

struct Target {
  std::vector<uint8_t> pixels = std::vector<uint8_t>(static_cast<size_t>(kWidth) * kHeight * 4);
  txBitmap bitmap{};
  Target() {
    bitmap.type = TX_TYPE_RGB;
    bitmap.subtype = TX_SUB_32;
    bitmap.width = kWidth;
    bitmap.height = kHeight;
    bitmap.bits = 32;
    bitmap.levels = 1;
    bitmap.sizes[0] = static_cast<int32_t>(pixels.size());
    bitmap.data[0] = pixels.data();
  }
};

void ThroughRenderer(FR_Font_t* font, Target& target) {
  for (int i = 0; i < kLines; ++i) {
    ftSetPosition(font, 0, i * kLineHeight);
    if (ftRender(font, &target.bitmap, kParagraph[i], nullptr, nullptr) != 0) std::abort();
  }
}

// The colour as a blit gets it at run time: a constant one would let the
// compiler fold the blend.
volatile uint32_t colourAtRunTime = kColour;

// The same blend as the renderer's, onto 32-bit pixels, clipped to the target.
void Blit(Target& target, const FT_Bitmap& glyph, int left, int top, uint32_t colour) {
  const int R = colour >> 24, G = (colour >> 16) & 0xFF, B = (colour >> 8) & 0xFF, A = colour & 0xFF;
  const int r0 = std::max(0, -top), r1 = std::min(static_cast<int>(glyph.rows), kHeight - top);
  const int k0 = std::max(0, -left), k1 = std::min(static_cast<int>(glyph.width), kWidth - left);
  for (int r = r0; r < r1; ++r) {
    const uint8_t* src = glyph.buffer + static_cast<ptrdiff_t>(r) * glyph.pitch;
    uint8_t* p = target.pixels.data() + (static_cast<size_t>(top + r) * kWidth + left + k0) * 4;
    for (int k = k0; k < k1; ++k, p += 4) {
      const int s = src[k];
      if (s == 0) continue;
      const int N = s * A / 255, O = 255 - N;
      p[0] = static_cast<uint8_t>((R * N + p[0] * O) / 255);
      p[1] = static_cast<uint8_t>((G * N + p[1] * O) / 255);
      p[2] = static_cast<uint8_t>((B * N + p[2] * O) / 255);
      p[3] = static_cast<uint8_t>((p[3] * O + N * 255) / 255);
    }
  }
}

void FreeTypeAlone(FT_Face face, Target& target) {
  const bool kerning = FT_HAS_KERNING(face);
  const uint32_t colour = colourAtRunTime;
  for (int i = 0; i < kLines; ++i) {
    const int baseline = i * kLineHeight + kSize;
    int pen = 0;
    FT_UInt previous = 0;
    for (const char* c = kParagraph[i]; *c; ++c) {
      const FT_UInt gi = FT_Get_Char_Index(face, static_cast<unsigned char>(*c));
      if (kerning && previous) {
        FT_Vector delta{};
        FT_Get_Kerning(face, previous, gi, FT_KERNING_DEFAULT, &delta);
        pen += static_cast<int>((delta.x + 32) >> 6);
      }
      previous = gi;
      if (FT_Load_Glyph(face, gi, FT_LOAD_NO_HINTING) != 0) continue;
      if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) continue;
      Blit(target, face->glyph->bitmap, pen + face->glyph->bitmap_left, baseline - face->glyph->bitmap_top, colour);
      pen += static_cast<int>(face->glyph->advance.x >> 6);
    }
  }
}

template <typename Run>
double Seconds(Run run) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kParagraphsPerRound; ++i) run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}


}  // namespace

int main() {
  if (ftInit() != 0 || ftLoadFace(kDejaVu) != 0) {
    std::fprintf(stderr, "font_bench: cannot load %s\n", kDejaVu);
    return 1;
  }
  FR_Font_t* font = ftNewFont(FR_ENC_LATIN1, kColour, FR_HALIGN_LEFT, FR_VALIGN_TOP);
  if (!font || ftSetFont(font, kDejaVu, kSize, 100, 0) != 0) return 1;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, kDejaVu, 0, &face) != 0) return 1;
  FT_Set_Char_Size(face, 0, kSize * 64, 0, 0);

  Target ours, theirs;
  std::vector<double> renderer, alone;
  for (int round = 0; round < kRounds; ++round) {
    renderer.push_back(Seconds([&] { ThroughRenderer(font, ours); }));
    alone.push_back(Seconds([&] { FreeTypeAlone(face, theirs); }));
  }
  const double glyphs = static_cast<double>(GlyphsPerParagraph()) * kParagraphsPerRound;
  const double ourRate = glyphs / Median(renderer), theirRate = glyphs / Median(alone);
  std::printf("paragraph of %d glyphs at %d px into %dx%d 32-bit pixels, median of %d rounds:\n",
              GlyphsPerParagraph(), kSize, kWidth, kHeight, kRounds);
  std::printf("renderer:       %8.0f glyphs/s\n", ourRate);
  std::printf("FreeType alone: %8.0f glyphs/s\n", theirRate);
  std::printf("renderer / FreeType alone: ratio %.2fx (goal <= %.1fx)\n", theirRate / ourRate, kGoal);

  FT_Done_Face(face);
  FT_Done_FreeType(library);
  ftFreeFont(font);
  ftDone();
  return 0;
}
