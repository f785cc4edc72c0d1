#include "app/ife.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "app/appshell.h"
#include "engine/capture.h"
#include "engine/effect.h"
#include "framework/base/log.h"
#include "framework/base/numconv.h"
#include "units/glunit.h"
#include "units/gluunit.h"
#include "units/sysunit.h"
#include "units/texmgr.h"
#include "units/wmunit.h"

using namespace qgl;

ife_unit_state Ife;

// --- numbers and words -----------------------------------------------------------

ShortString ife_trim(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return ShortString(text.substr(begin, end - begin));
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t SkipDigits(std::string_view text, size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

char* FileLine(void* context, char* buffer, int length) {
  return SYS_FileGetStr(static_cast<SYS_File_p>(context), buffer, length);
}

// The line reader: "#" in the first column makes a comment, every other
// line (an empty one too) is a value; past the end a read is empty.
struct Reader {
  ife_line_source source;
  void* context;
  bool ended = false;

  ShortString Line() {
    char line[512];
    do {
      line[0] = 0;
      if (ended || !source(context, line, sizeof line)) {
        ended = true;
        return ShortString();
      }
      line[sizeof line - 1] = 0;
    } while (line[0] == '#');
    SYS_DbgLog(line);
    return ife_trim(line);
  }
  bool Integer(int32_t& value, ShortString& error) {
    ShortString line = Line();
    if (ife_parse_int(line.view(), value)) return true;
    error = line;
    return false;
  }
};

}  // namespace

bool ife_parse_real(std::string_view text, double& value) {
  value = 0;
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  size_t signAt = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t intEnd = SkipDigits(text, i);
  size_t digits = intEnd - i;
  size_t end = intEnd;
  if (end < text.size() && text[end] == '.') {
    size_t fracEnd = SkipDigits(text, end + 1);
    digits += fracEnd - (end + 1);
    end = fracEnd;
  }
  if (digits == 0) return false;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    size_t e = end + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    size_t expEnd = SkipDigits(text, e);
    if (expEnd == e) return false;
    end = expEnd;
  }
  if (end != text.size()) return false;
  std::string number(text.substr(signAt, end - signAt));
  value = SYS_ParseReal(number.c_str());
  return true;
}

bool ife_parse_int(std::string_view text, int32_t& value) {
  value = 0;
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
    v = v * 10 + (text[i] - '0');
    if (v > INT64_C(0x80000000)) return false;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int32_t>::max()) return false;
  value = static_cast<int32_t>(v);
  return true;
}

float ife_to_single(double value) {
  if (std::isnan(value)) return 0.0f;
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::max();
  if (value < -kMax) return -std::numeric_limits<float>::max();
  return static_cast<float>(value);
}

int32_t ife_round(double value) { return SYS_RoundInt32(value); }

ShortString ife_readline(SYS_File_p file) {
  Reader in{FileLine, file};
  return in.Line();
}

ShortString ife_word(const ShortString& line, int32_t n) {
  std::string_view rest = line.view();
  for (int32_t i = 1; i < n; ++i) {
    size_t space = rest.find(' ');
    if (space == std::string_view::npos) return ShortString();
    rest.remove_prefix(space + 1);
  }
  if (n < 1) return ShortString();
  return ife_trim(rest.substr(0, rest.find(' ')));
}

float ife_word_real(const ShortString& line, int32_t n) {
  double value = 0;
  if (!ife_parse_real(ife_word(line, n).view(), value)) return 0.0f;
  return ife_to_single(value);
}

float ife_interpolate(uint8_t easing, float a, float b, float s) {
  constexpr float kHalfPi = 1.57079632679489661923f;
  switch (easing) {
    case 1: return a + (b - a) * std::sin(s * kHalfPi);
    case 2: return a + (b - a) * (1.0f - std::cos(s * kHalfPi));
    default: return a + (b - a) * s;  // also the easings that have no meaning
  }
}

// --- loading -------------------------------------------------------------------------

int32_t ife_resolve_texture(const ShortString& name, const ShortString& folder, ife_texture_loader loader) {
  std::string_view n = name.view();
  if (n == "white.tga") return 0;
  if (n == "RT") return Ife.ife_rt_texture_source ? static_cast<int32_t>(*Ife.ife_rt_texture_source) : 0;
  if (n == "GLOW") return Ife.ife_glow_texture_source ? static_cast<int32_t>(*Ife.ife_glow_texture_source) : 0;
  if (n.size() == 8 && n.substr(0, 3) == "BUF" && n[3] >= '0' && n[3] <= '7' && n.substr(4) == ".JPG")
    return Ife.ife_buffers[n[3] - '0'];
  if (n.substr(0, 3) == "BUF") return 0;
  if (!loader) return 0;
  return loader(folder.empty() ? name : folder + "/" + name, Ife.ife_texture_mode);
}

namespace {

template <class T>
T* AllocateZeroed(int32_t count, const char* tag) {
  size_t bytes = static_cast<size_t>(count) * sizeof(T);
  void* block = MemGet(bytes, tag);
  if (!block) FatalError("Out of memory.");
  std::memset(block, 0, bytes);
  return static_cast<T*>(block);
}

// Borrowed textures (buffers, captures) keep the wrap modes their owner
// chose; a texture of our own is bound first, since a shared one that the
// table hands out again is not bound by it.
void ClampOwnTexture(int32_t texture) {
  if (texture == 0 || !glBindTexture || !glTexParameteri) return;
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
  // Edge clamping: plain clamping blends in the border colour on current
  // drivers, which darkens every layer's edges.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

bool IsBorrowedName(std::string_view n) { return n == "white.tga" || n == "RT" || n == "GLOW" || n.substr(0, 3) == "BUF"; }

void ReadKey(const ShortString& line, ife_keys& key) {
  double time = 0, easing = 0;
  ife_parse_real(ife_word(line, 1).view(), time);
  ife_parse_real(ife_word(line, 4).view(), easing);
  key.time = ife_round(time);
  key.easing = static_cast<uint8_t>(static_cast<uint32_t>(ife_round(easing)) & 0xFFu);
  key.x = ife_word_real(line, 2);
  key.y = ife_word_real(line, 3);
  key.rotation = ife_word_real(line, 5);
  key.width = ife_word_real(line, 6);
  key.height = ife_word_real(line, 7);
  key.red = ife_word_real(line, 8);
  key.green = ife_word_real(line, 9);
  key.blue = ife_word_real(line, 10);
  key.alpha = ife_word_real(line, 11);
}

int ReadLayer(Reader& in, ife_layer& layer, const ShortString& folder, ife_texture_loader loader,
              ShortString& error) {
  layer.texture_name = in.Line();
  layer.extra_text1 = in.Line();
  layer.texture = ife_resolve_texture(layer.texture_name, folder, loader);
  if (!IsBorrowedName(layer.texture_name.view())) ClampOwnTexture(layer.texture);
  layer.extra_text2 = in.Line();
  int32_t keys = 0, blend = 0;
  if (!in.Integer(keys, error) || !in.Integer(blend, error)) return IFE_ERR_NUMBER;
  layer.blend_mode = static_cast<uint8_t>(static_cast<uint32_t>(blend) & 0xFFu);
  int32_t stored = keys < 0 ? 0 : (keys > kIfeMaxKeys ? kIfeMaxKeys : keys);
  layer.key_count = stored;
  if (stored > 0) layer.keys = AllocateZeroed<ife_keys>(stored, "Animation keys for interface");
  for (int32_t k = 0; k < stored; ++k) ReadKey(in.Line(), layer.keys[k]);
  // Keys beyond the array are passed over, so the next layer starts where
  // the file has it; a count far beyond the file stops at its end.
  for (int64_t k = stored; k < keys && !in.ended; ++k) in.Line();
  return IFE_OK;
}

}  // namespace

int ife_read(ife_interface& ifc, ife_line_source source, void* context, const ShortString& textureFolder,
             ife_texture_loader loader, ShortString& error) {
  Reader in{source, context};
  ifc = ife_interface{0, 0, nullptr};
  int32_t count = 0, header = 0;
  if (!in.Integer(count, error)) return IFE_ERR_NUMBER;
  if (!in.Integer(header, error)) return IFE_ERR_NUMBER;
  ifc.header_value = header;
  if (count <= 0) return IFE_OK;
  if (count > kIfeMaxLayers) count = kIfeMaxLayers;
  ifc.layers = AllocateZeroed<ife_layer>(count, "Interface layers");
  for (int32_t i = 0; i < count; ++i) std::construct_at(&ifc.layers[i]);
  ifc.layer_count = count;
  for (int32_t i = 0; i < count; ++i) {
    if (ReadLayer(in, ifc.layers[i], textureFolder, loader, error) != IFE_OK) {
      ife_free(ifc);
      return IFE_ERR_NUMBER;
    }
  }
  return IFE_OK;
}

void ife_load(ife_interface& ifc, const ShortString& fileName, const ShortString& textureFolder) {
  Log(ShortString("[ife] load: ") + fileName);
  SYS_File_p file = SYS_FileOpen(PasStr(fileName), SYS_FILE_TEXT);
  if (!file) FatalError(ShortString("Unable to open ") + fileName);
  ShortString error;
  int result = ife_read(ifc, FileLine, file, textureFolder, LoadTexture, error);
  SYS_FileClose(file);
  if (result != IFE_OK) FatalError(ShortString("Invalid number in ") + fileName + ": '" + error + "'");
}

// --- drawing ------------------------------------------------------------------------

namespace {

void SetBlendMode(uint8_t mode) {
  static const GLenum kFactors[6][2] = {{0, 0},
                                        {GL_ONE, GL_ONE},
                                        {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
                                        {GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA},
                                        {GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR},
                                        {GL_ZERO, GL_ONE_MINUS_SRC_COLOR}};
  if (mode == 0) {
    glDisable(GL_BLEND);
  } else if (mode <= 5) {
    glEnable(GL_BLEND);
    glBlendFunc(kFactors[mode][0], kFactors[mode][1]);
  }
}

// The keys around t: f the last at or before it, g the first at or after it
// (with increasing key times), and the fraction between them.
void FindKeys(const ife_layer& layer, float t, int32_t& f, int32_t& g, float& s) {
  int32_t k = layer.key_count;
  f = 0;
  g = k - 1;
  for (int32_t j = 0; j < k; ++j) {
    if (t >= static_cast<float>(layer.keys[j].time)) f = j;
    if (t <= static_cast<float>(layer.keys[k - 1 - j].time)) g = k - 1 - j;
  }
  s = 0.0f;
  // Equal or unordered key times give no span to divide by.
  double span = static_cast<double>(layer.keys[g].time) - layer.keys[f].time;
  if (f != g && span > 0) s = static_cast<float>((t - static_cast<double>(layer.keys[f].time)) / span);
}

bool FlipsRows(std::string_view name) { return name == "RT" || name == "BUF0.JPG" || name == "BUF2.JPG"; }

void DrawLayer(const ife_layer& layer, float t) {
  ife_drawing_space();
  SetBlendMode(layer.blend_mode);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(layer.texture));

  int32_t f, g;
  float s;
  FindKeys(layer, t, f, g, s);
  const ife_keys& a = layer.keys[f];
  const ife_keys& b = layer.keys[g];
  uint8_t e = a.easing;
  float rotation = ife_interpolate(e, a.rotation, b.rotation, s);
  float x = ife_interpolate(e, a.x, b.x, s);
  float y = ife_interpolate(e, a.y, b.y, s);
  float w = ife_interpolate(e, a.width, b.width, s);
  float h = ife_interpolate(e, a.height, b.height, s);
  float red = ife_interpolate(e, a.red, b.red, s) / 255.0f;
  float green = ife_interpolate(e, a.green, b.green, s) / 255.0f;
  float blue = ife_interpolate(e, a.blue, b.blue, s) / 255.0f;
  float alpha = ife_interpolate(e, a.alpha, b.alpha, s) / 255.0f;

  glColor4f(red, green, blue, alpha);
  glTranslatef(x, y, 0);
  glRotatef(rotation, 0, 0, 1);
  if (layer.texture_name == "white.tga")
    glDisable(GL_TEXTURE_2D);
  else
    glEnable(GL_TEXTURE_2D);

  static const float kCorners[4][2] = {{0.5f, 0.5f}, {0.5f, -0.5f}, {-0.5f, -0.5f}, {-0.5f, 0.5f}};
  static const float kImageRows[4][2] = {{1, 0}, {1, 1}, {0, 1}, {0, 0}};
  static const float kFrameRows[4][2] = {{1, 1}, {1, 0}, {0, 0}, {0, 1}};
  const float(*uv)[2] = FlipsRows(layer.texture_name.view()) ? kFrameRows : kImageRows;
  glBegin(GL_QUADS);
  for (int c = 0; c < 4; ++c) {
    glTexCoord2f(uv[c][0], uv[c][1]);
    glVertex2f(kCorners[c][0] * w, kCorners[c][1] * h);
  }
  glEnd();
}

}  // namespace

void ife_drawing_space(void) {
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(0, 1280, 0, 720);
}

void ife_render(ife_interface& ifc, float time) {
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_CULL_FACE);
  for (int32_t i = 0; i < ifc.layer_count && ifc.layers; ++i) {
    const ife_layer& layer = ifc.layers[i];
    // A layer without keys has nothing to be drawn from.
    if (layer.key_count <= 0 || !layer.keys) continue;
    DrawLayer(layer, time);
  }
  glMatrixMode(GL_MODELVIEW);
}

void ife_free(ife_interface& ifc) {
  if (ifc.layer_count > 0 && ifc.layers) {
    for (int32_t i = 0; i < ifc.layer_count; ++i) {
      ife_layer& layer = ifc.layers[i];
      ReleaseTexture(layer.texture);
      MemFree(layer.keys);
      std::destroy_at(&layer);
    }
  }
  MemFree(ifc.layers);
  ifc.layers = nullptr;
  ifc.layer_count = 0;
}

void ife_progress(void) {
  ++Ife.ife_progress_counter;
  ife_render(Ife.ife_progress_interface, static_cast<float>(Ife.ife_progress_counter) * 14.0845f);
  wmSwapBuffers(Shell.AppWindow);
}

void ife_serve_effects(void) {
  EffectInterfaces = {ife_progress, ife_load, ife_free, ife_render};
  Ife.ife_rt_texture_source = &CaptureUnit.FramebufferTextures[0];
  Ife.ife_glow_texture_source = &CaptureUnit.GlowTexture;
}
