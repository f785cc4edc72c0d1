#include "engine/sceneconfig.h"

#include <charconv>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>

#include "engine/loader.h"
#include "engine/scenetext.h"

namespace {

// How a key's value is written and read.
enum class Kind {
  kNumber,         // float, a non-number reads as 0
  kInteger,        // int32, a non-integer reads as 0
  kByte,           // uint8 taking the integer's low eight bits, a non-integer reads as 0
  kStrictInteger,  // int32, a non-integer ends the load
  kStrictByte,     // uint8 taking the integer's low eight bits, a non-integer ends the load
  kFlag,           // uint8 written 1 or 0, read as 1 exactly for "1"
  kText,           // OvxShortString
  kTriple,         // three floats "a,b,c"
};

struct Key {
  std::string_view name;
  Kind kind;
  size_t offset;  // of the field in its record
};

constexpr size_t kParticle = offsetof(_OVX_OBJECT, particledata);

// One table per section, in the order the writer writes the keys; blend
// and passno are written from the texture depth rather than the field.
constexpr Key kMaterialKeys[] = {
    {"texturename", Kind::kText, offsetof(_OVX_MATERIAL, texturename)},
    {"transparency", Kind::kNumber, offsetof(_OVX_MATERIAL, transparency)},
    {"utile", Kind::kNumber, offsetof(_OVX_MATERIAL, utile)},
    {"vtile", Kind::kNumber, offsetof(_OVX_MATERIAL, vtile)},
    {"textured", Kind::kFlag, offsetof(_OVX_MATERIAL, textured)},
    {"ambient", Kind::kTriple, offsetof(_OVX_MATERIAL, ambient)},
    {"diffuse", Kind::kTriple, offsetof(_OVX_MATERIAL, diffuse)},
    {"specular", Kind::kTriple, offsetof(_OVX_MATERIAL, specular)},
    {"shine", Kind::kInteger, offsetof(_OVX_MATERIAL, shine)},
    {"envmap", Kind::kFlag, offsetof(_OVX_MATERIAL, envmap)},
    {"envmaptexture", Kind::kText, offsetof(_OVX_MATERIAL, envmaptexture)},
    {"magtype", Kind::kInteger, offsetof(_OVX_MATERIAL, magtype)},
    {"receivelight", Kind::kFlag, offsetof(_OVX_MATERIAL, receivelight)},
    {"depthtest", Kind::kByte, offsetof(_OVX_MATERIAL, depthtest)},
    {"alphatest", Kind::kNumber, offsetof(_OVX_MATERIAL, alphatest)},
    {"texturewrap", Kind::kByte, offsetof(_OVX_MATERIAL, texturewrap)},
    {"constantalpha", Kind::kNumber, offsetof(_OVX_MATERIAL, constantalpha)},
    {"flaresize", Kind::kNumber, offsetof(_OVX_MATERIAL, flaresize)},
    {"blend", Kind::kByte, offsetof(_OVX_MATERIAL, blend)},
};
constexpr std::string_view kBlendKey = "blend";

constexpr Key kObjectKeys[] = {
    {"material", Kind::kStrictInteger, offsetof(_OVX_OBJECT, material)},
    {"rendermode", Kind::kStrictByte, offsetof(_OVX_OBJECT, rendermode)},
    {"visible", Kind::kFlag, offsetof(_OVX_OBJECT, visible)},
    {"particleenabled", Kind::kFlag, kParticle + offsetof(_OVX_PARTICLEDATA, particleenabled)},
    {"deltavector", Kind::kTriple, kParticle + offsetof(_OVX_PARTICLEDATA, deltavector)},
    {"deltavectorspread", Kind::kTriple, kParticle + offsetof(_OVX_PARTICLEDATA, deltavectorspread)},
    {"color", Kind::kTriple, kParticle + offsetof(_OVX_PARTICLEDATA, color)},
    {"colorspread", Kind::kTriple, kParticle + offsetof(_OVX_PARTICLEDATA, colorspread)},
    {"colorattrib", Kind::kStrictByte, kParticle + offsetof(_OVX_PARTICLEDATA, colorattrib)},
    {"power", Kind::kNumber, kParticle + offsetof(_OVX_PARTICLEDATA, power)},
    {"deltapower", Kind::kNumber, kParticle + offsetof(_OVX_PARTICLEDATA, deltapower)},
    {"newparticle", Kind::kStrictInteger, kParticle + offsetof(_OVX_PARTICLEDATA, newparticle)},
    {"particletexture", Kind::kText, kParticle + offsetof(_OVX_PARTICLEDATA, particletexture)},
    {"size", Kind::kNumber, kParticle + offsetof(_OVX_PARTICLEDATA, size)},
    {"passno", Kind::kStrictInteger, offsetof(_OVX_OBJECT, passno)},
    {"backfacecull", Kind::kFlag, offsetof(_OVX_OBJECT, backfacecull)},
};
constexpr std::string_view kPassKey = "passno";

constexpr Key kLightKeys[] = {
    {"enabled", Kind::kFlag, offsetof(_OVX_LIGHT, enabled)},
    {"pos", Kind::kTriple, offsetof(_OVX_LIGHT, pos)},
    {"ambient", Kind::kTriple, offsetof(_OVX_LIGHT, ambient)},
    {"diffuse", Kind::kTriple, offsetof(_OVX_LIGHT, diffuse)},
    {"specular", Kind::kTriple, offsetof(_OVX_LIGHT, specular)},
};

constexpr size_t kMaxLine = 255;

template <class T>
T& FieldAt(void* record, size_t offset) {
  return *reinterpret_cast<T*>(static_cast<char*>(record) + offset);
}
template <class T>
const T& FieldAt(const void* record, size_t offset) {
  return *reinterpret_cast<const T*>(static_cast<const char*>(record) + offset);
}

// --- numbers -------------------------------------------------------------

// Optional sign, digits with an optional fraction (at least one digit in
// all), optional exponent: the whole text or nothing.
bool IsDecimalReal(std::string_view t) {
  size_t i = 0, digits = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (!digits) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t start = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    if (i == start) return false;
  }
  return i == t.size();
}

// A number; text that is not one, or one beyond the range of a float, is 0.
float ParseNumber(std::string_view t) {
  if (!IsDecimalReal(t)) return 0.0f;
  if (t.front() == '+') t.remove_prefix(1);
  float value = 0.0f;
  auto r = std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
  return r.ec == std::errc{} ? value : 0.0f;
}

// A decimal integer within 32 bits (optional sign, digits, nothing else).
bool ParseInteger(std::string_view t, int32_t& out) {
  if (!t.empty() && t.front() == '+') {
    t.remove_prefix(1);
    if (t.empty() || t.front() < '0' || t.front() > '9') return false;
  }
  auto r = std::from_chars(t.data(), t.data() + t.size(), out, 10);
  return r.ec == std::errc{} && r.ptr == t.data() + t.size();
}

// --- values --------------------------------------------------------------

enum class Applied { kDone, kSkipped, kBadInteger };

std::string Describe(std::string_view section, std::string_view name, std::string_view key, std::string_view value) {
  return std::string(section) + "(" + std::string(name) + ")." + std::string(key) + "=" + std::string(value);
}

// The line that did not apply, with the reason; the reader goes on.
Applied Skip(std::string_view reason, const std::string& line) {
  LoaderLog("Config line skipped, " + std::string(reason) + ": " + line);
  return Applied::kSkipped;
}

// A one-byte field keeps the low eight bits of the integer (300 is 44).
Applied StoreByte(uint8_t& field, int32_t value) {
  field = static_cast<uint8_t>(static_cast<uint32_t>(value));
  return Applied::kDone;
}

Applied StoreTriple(float* components, std::string_view value, const std::string& line) {
  size_t first = value.find(',');
  if (first == std::string_view::npos || value.find(',', first + 1) == std::string_view::npos)
    return Skip("fewer than three values", line);
  components[0] = ParseNumber(SceneCfgField1(value));
  components[1] = ParseNumber(SceneCfgField2(value));
  components[2] = ParseNumber(SceneCfgField3(value));
  return Applied::kDone;
}

// Sets one field of the record from its text; line names the line in the log.
Applied ApplyValue(void* record, const Key& key, std::string_view value, const std::string& line) {
  int32_t integer = 0;
  switch (key.kind) {
    case Kind::kNumber: FieldAt<float>(record, key.offset) = ParseNumber(value); return Applied::kDone;
    case Kind::kInteger:
      FieldAt<int32_t>(record, key.offset) = ParseInteger(value, integer) ? integer : 0;
      return Applied::kDone;
    case Kind::kByte:
      return StoreByte(FieldAt<uint8_t>(record, key.offset), ParseInteger(value, integer) ? integer : 0);
    case Kind::kFlag: FieldAt<uint8_t>(record, key.offset) = value == "1" ? 1 : 0; return Applied::kDone;
    case Kind::kText: FieldAt<OvxShortString>(record, key.offset).assign(value); return Applied::kDone;
    case Kind::kTriple: return StoreTriple(&FieldAt<float>(record, key.offset), value, line);
    default: break;
  }
  // The strict kinds.
  if (!ParseInteger(value, integer)) {
    LoaderLog("Config line is not an integer: " + line);
    return Applied::kBadInteger;
  }
  if (key.kind == Kind::kStrictByte) return StoreByte(FieldAt<uint8_t>(record, key.offset), integer);
  FieldAt<int32_t>(record, key.offset) = integer;
  return Applied::kDone;
}

// --- sections ------------------------------------------------------------

// The entries of one section of a scene and the keys they take.
struct Section {
  std::string_view word;
  std::span<const Key> keys;
  int (*index)(const _OVX_SCENE*, std::string_view);
  void* (*entry)(_OVX_SCENE*, int);
};

void* MaterialEntry(_OVX_SCENE* s, int i) { return &s->materials[i]; }
void* ObjectEntry(_OVX_SCENE* s, int i) { return &s->objects[i]; }
void* LightEntry(_OVX_SCENE* s, int i) { return &s->lights[i]; }

const Section kMaterials{"material", kMaterialKeys, SceneCfgMaterialIndex, MaterialEntry};
const Section kObjects{"object", kObjectKeys, SceneCfgObjectIndex, ObjectEntry};
const Section kLights{"light", kLightKeys, SceneCfgLightIndex, LightEntry};

int ApplyKey(const Section& section, _OVX_SCENE* scene, std::string_view name, std::string_view key,
             std::string_view value) {
  if (!scene) return kSceneCfgOk;
  const Key* found = nullptr;
  for (const Key& k : section.keys)
    if (k.name == key) found = &k;
  if (!found) return kSceneCfgOk;
  std::string line = Describe(section.word, name, key, value);
  int i = section.index(scene, name);
  if (i < 0) {
    Skip("no entry to take it", line);
    return kSceneCfgOk;
  }
  Applied a = ApplyValue(section.entry(scene, i), *found, value, line);
  return a == Applied::kBadInteger ? kSceneCfgBadInteger : kSceneCfgOk;
}

// The highest index carrying the name; entry 0 when none does, -1 when
// there is no entry at all.
template <class Entry>
int NamedOrFirst(const Entry* entries, int32_t count, std::string_view name) {
  if (!entries || count <= 0) return -1;
  for (int i = count - 1; i >= 0; --i)
    if (entries[i].name.view() == name) return i;
  return 0;
}

// --- reading -------------------------------------------------------------

// The next line from pos on, without its LF, a CR before it, and anything
// past the cap.
std::string_view CutLine(std::string_view text, size_t& pos) {
  size_t end = text.find('\n', pos);
  size_t next = end == std::string_view::npos ? text.size() : end + 1;
  if (end == std::string_view::npos) end = text.size();
  std::string_view line = text.substr(pos, end - pos);
  pos = next;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line.substr(0, kMaxLine);
}

bool SetCamera(_OVX_SCENE* scene, std::string_view keyword, std::string_view value) {
  float* field = keyword == "camerafov"    ? &scene->camerafov
                 : keyword == "cameranear" ? &scene->cameranear
                 : keyword == "camerafar"  ? &scene->camerafar
                                           : nullptr;
  if (field) *field = ParseNumber(value);
  return field != nullptr;
}

int ApplyLine(_OVX_SCENE* scene, std::string_view line) {
  if (line.empty() || line.front() == '#') return kSceneCfgOk;
  std::string_view keyword = SceneCfgKeyword(line);
  std::string_view value = SceneCfgValue(line);
  if (SetCamera(scene, keyword, value)) return kSceneCfgOk;
  for (const Section* s : {&kMaterials, &kObjects, &kLights})
    if (keyword == s->word) return ApplyKey(*s, scene, SceneCfgName(line), SceneCfgKey(line), value);
  return kSceneCfgOk;
}

void RecomputePassCount(_OVX_SCENE* scene) {
  int32_t highest = 0;
  if (scene->objects)
    for (int i = 0; i < scene->objectcount; ++i)
      if (scene->objects[i].passno > highest) highest = scene->objects[i].passno;
  scene->passcount = highest;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool ReadWhole(FILE* f, std::string& out) {
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  return !std::ferror(f);
}

// --- writing -------------------------------------------------------------

std::string FormatInteger(int32_t value) {
  char buffer[16];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, r.ptr);
}

std::string FormatValue(const void* record, const Key& key) {
  switch (key.kind) {
    case Kind::kNumber: return SceneFormatNumber(FieldAt<float>(record, key.offset));
    case Kind::kByte:
    case Kind::kStrictByte: return FormatInteger(FieldAt<uint8_t>(record, key.offset));
    case Kind::kFlag: return FieldAt<uint8_t>(record, key.offset) ? "1" : "0";
    case Kind::kText: return std::string(FieldAt<OvxShortString>(record, key.offset).view());
    case Kind::kTriple: {
      const float* c = &FieldAt<float>(record, key.offset);
      return SceneFormatNumber(c[0]) + "," + SceneFormatNumber(c[1]) + "," + SceneFormatNumber(c[2]);
    }
    default: return FormatInteger(FieldAt<int32_t>(record, key.offset));
  }
}

// The pass a material's texture asks for: 0 opaque, 1 transparent, 2 alpha
// channel; -1 for a depth that asks for none.
int DerivedPass(const _OVX_MATERIAL& m) {
  constexpr int kOpaqueBpp = 24, kAlphaBpp = 32;
  if (m.texturebpp == kAlphaBpp) return 2;
  if (m.texturebpp != kOpaqueBpp) return -1;
  if (m.transparency == 0.0f) return 0;
  return m.transparency > 0.0f ? 1 : -1;
}

class Writer {
 public:
  void Line(std::string_view text) {
    out_ += text;
    out_ += '\n';
  }
  void Entry(const Section& section, std::string_view name, std::string_view key, const std::string& value) {
    Line(Describe(section.word, name, key, value));
  }
  // Every key of the record but the derived one.
  void Keys(const Section& section, const void* record, std::string_view name, std::string_view derived) {
    for (const Key& k : section.keys)
      if (k.name != derived) Entry(section, name, k.name, FormatValue(record, k));
  }
  const std::string& text() const { return out_; }

 private:
  std::string out_;
};

void WriteHeader(Writer& w, const _OVX_SCENE* scene) {
  w.Line("# Orvex config file");
  w.Line("#");
  w.Line("camerafov=" + SceneFormatNumber(scene->camerafov));
  w.Line("cameranear=" + SceneFormatNumber(scene->cameranear));
  w.Line("camerafar=" + SceneFormatNumber(scene->camerafar));
  w.Line("#");
  for (const char* line :
       {"# Material Info", "# ", "#                  Texture min/mag filters:",
        "# 0 - NEAREST, 1 - LINEAR, 2 - MIPMAP_NEAREST, 3 - MIPMAP_LINEAR (default)", "# ",
        "# Depthtest : 0 -R/W ; 1 -R ; 2 -W ; 3 -N/A", "# Alphatest : 0 -N/A ; 0..1 -alpha testing value",
        "# Blend     : 0 -NO  ; 1 -ONE/ONE ; 2 -ALPHA ; 3 -1-ALPHA", "# "})
    w.Line(line);
}

void WriteMaterials(Writer& w, const _OVX_SCENE* scene) {
  for (int i = 0; scene->materials && i < scene->materialcount; ++i) {
    const _OVX_MATERIAL& m = scene->materials[i];
    w.Keys(kMaterials, &m, m.name.view(), kBlendKey);
    int pass = DerivedPass(m);
    if (pass >= 0) w.Entry(kMaterials, m.name.view(), kBlendKey, FormatInteger(pass));
    w.Line("#");
  }
}

void WriteObjects(Writer& w, const _OVX_SCENE* scene) {
  static constexpr const char* kPassComments[] = {"#standard texture :", "#transparent material :",
                                                  "#alpha channel texture :"};
  w.Line("# Object Info");
  for (int i = 0; scene->objects && i < scene->objectcount; ++i) {
    const _OVX_OBJECT& o = scene->objects[i];
    std::string_view name = o.name.view();
    for (const Key& k : kObjectKeys) {
      if (k.name != kPassKey) {
        w.Entry(kObjects, name, k.name, FormatValue(&o, k));
        continue;
      }
      // An object whose material index is broken gets no pass line.
      if (!scene->materials || o.material < 0 || o.material >= scene->materialcount) continue;
      const _OVX_MATERIAL& m = scene->materials[o.material];
      int pass = DerivedPass(m);
      if (pass < 0) continue;
      w.Entry(kObjects, name, kPassKey, FormatInteger(pass));
      w.Line(std::string(kPassComments[pass]) + std::string(m.texturename.view()));
    }
    w.Line("#");
  }
}

void WriteLights(Writer& w, const _OVX_SCENE* scene) {
  w.Line("# Light Info");
  for (const _OVX_LIGHT& l : scene->lights) {
    w.Keys(kLights, &l, l.name.view(), {});
    w.Line("#");
  }
}

}  // namespace

// --- line parts ------------------------------------------------------------

std::string_view SceneCfgKeyword(std::string_view line) { return line.substr(0, line.find_first_of("=(.")); }

namespace {
// The text between the first open and the first close; empty when either is
// missing or the close comes first.
std::string_view Between(std::string_view text, char open, char close) {
  size_t a = text.find(open), b = text.find(close);
  if (a == std::string_view::npos || b == std::string_view::npos || b <= a) return {};
  return text.substr(a + 1, b - a - 1);
}
}  // namespace

std::string_view SceneCfgName(std::string_view line) { return Between(line, '(', ')'); }
std::string_view SceneCfgKey(std::string_view line) { return Between(line, '.', '='); }

std::string_view SceneCfgValue(std::string_view line) {
  size_t eq = line.find('=');
  return eq == std::string_view::npos ? line : line.substr(eq + 1);
}

std::string_view SceneCfgField1(std::string_view value) { return value.substr(0, value.find(',')); }

std::string_view SceneCfgField2(std::string_view value) {
  size_t first = value.find(',');
  if (first == std::string_view::npos) return {};
  std::string_view rest = value.substr(first + 1);
  return rest.substr(0, rest.find(','));
}

std::string_view SceneCfgField3(std::string_view value) {
  size_t first = value.find(',');
  if (first == std::string_view::npos) return {};
  size_t second = value.find(',', first + 1);
  return second == std::string_view::npos ? std::string_view() : value.substr(second + 1);
}

int SceneCfgMaterialIndex(const _OVX_SCENE* scene, std::string_view name) {
  return scene ? NamedOrFirst(scene->materials, scene->materialcount, name) : -1;
}
int SceneCfgObjectIndex(const _OVX_SCENE* scene, std::string_view name) {
  return scene ? NamedOrFirst(scene->objects, scene->objectcount, name) : -1;
}
int SceneCfgLightIndex(const _OVX_SCENE* scene, std::string_view name) {
  return scene ? NamedOrFirst(scene->lights, kOvxLightCount, name) : -1;
}

int SceneCfgMaterialKey(_OVX_SCENE* scene, std::string_view name, std::string_view key, std::string_view value) {
  return ApplyKey(kMaterials, scene, name, key, value);
}
int SceneCfgObjectKey(_OVX_SCENE* scene, std::string_view name, std::string_view key, std::string_view value) {
  return ApplyKey(kObjects, scene, name, key, value);
}
int SceneCfgLightKey(_OVX_SCENE* scene, std::string_view name, std::string_view key, std::string_view value) {
  return ApplyKey(kLights, scene, name, key, value);
}

// --- files -------------------------------------------------------------------

int LoadSceneConfigText(_OVX_SCENE* scene, std::string_view text, std::string_view name) {
  if (!scene) return ERR_BADARG;
  int result = kSceneCfgOk;
  for (size_t pos = 0; pos < text.size() && result == kSceneCfgOk;) result = ApplyLine(scene, CutLine(text, pos));
  if (result != kSceneCfgOk) LoaderLog("Config file (" + std::string(name) + ") not read to its end.");
  RecomputePassCount(scene);
  return result;
}

int LoadSceneConfig(_OVX_SCENE* scene, std::string_view fileName) {
  if (!scene) return ERR_BADARG;
  File f(std::fopen(SceneHostPath(fileName).c_str(), "rb"));
  std::string text;
  if (!f || !ReadWhole(f.get(), text)) {
    LoaderLog("Config file (" + std::string(fileName) + ") not found.");
    return kSceneCfgCantOpen;
  }
  f.reset();
  return LoadSceneConfigText(scene, text, fileName);
}

int SaveSceneConfig(const _OVX_SCENE* scene, std::string_view fileName) {
  if (!scene) return ERR_BADARG;
  Writer w;
  WriteHeader(w, scene);
  WriteMaterials(w, scene);
  WriteObjects(w, scene);
  WriteLights(w, scene);
  return SceneWriteTextFile(fileName, w.text());
}
