// Interface layers: ".ife" text files of animated, textured rectangles that
// the music disk builds its screens from, and the 3D engine draws as
// overlays. The caller owns the time axis; a file's keys use its units.
#pragma once
#include <cstdint>
#include <string_view>

#include "engine/layers.h"
#include "framework/base/file.h"
#include "units/shortstr.h"

// The unit's state, shared with its callers.
struct ife_unit_state {
  int32_t ife_buffers[8] = {};  // "BUF0.JPG" to "BUF7.JPG"
  int32_t ife_texture_mode = 1;
  int32_t ife_progress_counter = 0;
  ife_interface ife_progress_interface = {0, 0, nullptr};
  // Where "RT" and "GLOW" take their texture from at load time: the 3D
  // engine's first frame-buffer capture and its glow texture once
  // ife_serve_effects has run; null reads as 0.
  const uint32_t* ife_rt_texture_source = nullptr;
  const uint32_t* ife_glow_texture_source = nullptr;
};
extern ife_unit_state Ife;

// Loads the file into an empty interface. A file that cannot be opened or
// read ends the program.
void ife_load(ife_interface& ifc, const ShortString& fileName, const ShortString& textureFolder);
void ife_render(ife_interface& ifc, float time);
void ife_free(ife_interface& ifc);
void ife_progress(void);
// Lends these routines to the 3D engine's effect projects, which load, draw
// and release their interface layers through them, and binds "RT" and
// "GLOW" to the engine's capture textures.
void ife_serve_effects(void);
// Texture, model-view and projection matrices to identity, then the
// 1280 x 720 drawing space with y up that every layer is drawn in.
void ife_drawing_space(void);
float ife_interpolate(uint8_t easing, float a, float b, float s);
ShortString ife_readline(SYS_File_p file);
ShortString ife_word(const ShortString& line, int32_t n);
float ife_word_real(const ShortString& line, int32_t n);

// --- the reader's parts, for the loader, its tests and its fuzz target ------

// Codes 0 to 32 off both ends, cut to 255 characters.
ShortString ife_trim(std::string_view text);
// A decimal real: optional sign, digits, optional "." and digits, optional
// exponent with at least one digit; at least one digit in the mantissa and
// nothing left over. No hexadecimal, "inf" or "nan".
bool ife_parse_real(std::string_view text, double& value);
// An optional sign and decimal digits, in the 32-bit range.
bool ife_parse_int(std::string_view text, int32_t& value);
// A real as a single, clamped to the single range (NaN gives 0).
float ife_to_single(double value);
// Round with halves to the even neighbour, clamped to 32 bits.
int32_t ife_round(double value);

// One physical line (at most 511 characters) into buffer, or null at the end.
using ife_line_source = char* (*)(void* context, char* buffer, int length);
// The texture of a layer name that is no built-in name.
using ife_texture_loader = int32_t (*)(const ShortString& name, int32_t mode);

#define IFE_OK 0
#define IFE_ERR_NUMBER 10  // a count or mode line is not an integer

// Reads a layer file from the source into an empty interface. On a bad
// number the interface is freed again, error receives the offending line
// and the result is IFE_ERR_NUMBER.
int ife_read(ife_interface& ifc, ife_line_source source, void* context, const ShortString& textureFolder,
             ife_texture_loader loader, ShortString& error);
// The texture a layer name resolves to (the built-in names, else loader).
int32_t ife_resolve_texture(const ShortString& name, const ShortString& folder, ife_texture_loader loader);
