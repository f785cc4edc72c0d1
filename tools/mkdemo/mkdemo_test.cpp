// Checks the generated music-disk data (the folder the build packs into
// kelm.dat, and the archive itself once the packer has made it) against the
// rules the disk relies on.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <complex>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "testsupport/testsupport.h"
#include "tools/mkdemo/text.h"

namespace fs = std::filesystem;

namespace {

const fs::path kData = MKDEMO_DATA_DIR;

std::string Read(const std::string& name) { return qt::ReadFile((kData / name).string()); }

bool IsPowerOfTwo(unsigned v) { return v && (v & (v - 1)) == 0; }

// --- the track table ----------------------------------------------------------

struct Record {
  std::string line1, line2, line3, ogg;
  int column = 0;
};

std::string ShortString(const std::string& bytes, size_t offset) {
  const size_t n = static_cast<unsigned char>(bytes[offset]);
  return bytes.substr(offset + 1, n);
}

std::vector<Record> TrackRecords() {
  const std::string bytes = Read("tracks.dat");
  std::vector<Record> records;
  for (size_t base = 0; base + 1025 <= bytes.size(); base += 1025)
    records.push_back({ShortString(bytes, base), ShortString(bytes, base + 256),
                       ShortString(bytes, base + 512), ShortString(bytes, base + 768),
                       static_cast<unsigned char>(bytes[base + 1024])});
  return records;
}

// --- layer files: read as the disk's loader reads them -------------------------

struct Key {
  double time = 0;
  std::vector<double> values;  // x, y, easing, rotation, w, h, r, g, b, a
};
struct Layer {
  std::string texture;
  int blend = 0;
  std::vector<Key> keys;
};

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && static_cast<unsigned char>(s[a]) <= 32) ++a;
  while (b > a && static_cast<unsigned char>(s[b - 1]) <= 32) --b;
  return s.substr(a, b - a);
}

bool ParseNumber(const std::string& word, double& value) {
  const char* end = word.data() + word.size();
  const auto r = std::from_chars(word.data(), end, value);
  return r.ec == std::errc() && r.ptr == end && !word.empty();
}

bool ParseInteger(const std::string& line, int& value) {
  const char* end = line.data() + line.size();
  const auto r = std::from_chars(line.data(), end, value);
  return r.ec == std::errc() && r.ptr == end && !line.empty();
}

// Returns the layers, or fails the calling test with what is wrong.
std::vector<Layer> ReadLayers(const std::string& name) {
  std::istringstream in(Read(name));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (line.empty() || line[0] != '#') lines.push_back(line);
  size_t next = 0;
  auto take = [&]() { return next < lines.size() ? lines[next++] : std::string(); };
  std::vector<Layer> layers;
  int count = 0, header = 0;
  EXPECT_TRUE(ParseInteger(Trim(take()), count)) << name << ": layer count";
  EXPECT_TRUE(ParseInteger(Trim(take()), header)) << name << ": header value";
  for (int l = 0; l < count; ++l) {
    Layer layer;
    layer.texture = Trim(take());
    take();
    take();
    int keys = 0;
    EXPECT_TRUE(ParseInteger(Trim(take()), keys)) << name << " layer " << l << ": key count";
    EXPECT_TRUE(ParseInteger(Trim(take()), layer.blend)) << name << " layer " << l << ": blend";
    for (int k = 0; k < keys; ++k) {
      const std::string line = take();
      EXPECT_LE(line.size(), 511u) << name;
      std::vector<double> words;
      std::string word;
      // Every single space separates, so split on each one.
      for (size_t start = 0;;) {
        const size_t space = line.find(' ', start);
        word = Trim(line.substr(start, space == std::string::npos ? std::string::npos : space - start));
        double v = 0;
        EXPECT_TRUE(ParseNumber(word, v)) << name << " layer " << l << " key " << k << ": '" << word << "'";
        words.push_back(v);
        if (space == std::string::npos) break;
        start = space + 1;
      }
      EXPECT_EQ(words.size(), 11u) << name << " layer " << l << " key " << k;
      words.resize(11, 0);
      layer.keys.push_back(Key{words[0], std::vector<double>(words.begin() + 1, words.end())});
    }
    layers.push_back(layer);
  }
  EXPECT_EQ(next, lines.size()) << name << ": lines after the last layer";
  return layers;
}

const std::vector<std::string>& LayerFileNames() {
  static const std::vector<std::string> names = {
      "loading.ife",   "v_blur.ife",     "h_blur.ife",     "blackfade.ife", "whitefade.ife",
      "intro00.ife",   "intro01.ife",    "intro02.ife",    "intro03.ife",   "intro04.ife",
      "main_bkg.ife",  "bonus_bkg.ife",  "bal_mely.ife",   "bal_kozep.ife", "bal_magas.ife",
      "jobb_mely.ife", "jobb_kozep.ife", "jobb_magas.ife", "keret.ife",     "preintro.ife",
      "gui.ife",       "endscroll.ife",  "end2.ife",       "highlight.ife"};
  return names;
}

// --- dialogs: tags and attributes as the toolkit's reader splits them ------------

struct Tag {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string Get(const std::string& key) const {
    for (const auto& [k, v] : attributes)
      if (k == key) return v;
    return {};
  }
  bool Has(const std::string& key) const {
    for (const auto& a : attributes)
      if (a.first == key) return true;
    return false;
  }
};

std::vector<Tag> ReadTags(const std::string& xml) {
  std::vector<Tag> tags;
  for (size_t pos = 0;;) {
    const size_t open = xml.find('<', pos);
    if (open == std::string::npos) break;
    const size_t close = xml.find('>', open);
    if (close == std::string::npos) break;
    const std::string body = xml.substr(open + 1, close - open - 1);
    pos = close + 1;
    if (body.empty() || body[0] == '/' || body[0] == '?' || body[0] == '!') continue;
    Tag tag;
    size_t i = 0;
    while (i < body.size() && body[i] != ' ' && body[i] != '/') tag.name += body[i++];
    for (;;) {
      while (i < body.size() && body[i] == ' ') ++i;
      if (i >= body.size() || body[i] == '/') break;
      const size_t eq = body.find('=', i);
      const size_t q1 = body.find('"', eq);
      const size_t q2 = body.find('"', q1 + 1);
      EXPECT_NE(q2, std::string::npos) << body;
      if (q2 == std::string::npos) break;
      EXPECT_EQ(q1, eq + 1) << "value not in double quotes: " << body;
      tag.attributes.emplace_back(Trim(body.substr(i, eq - i)), body.substr(q1 + 1, q2 - q1 - 1));
      i = q2 + 1;
    }
    tags.push_back(tag);
  }
  return tags;
}

// The attribute keywords the toolkit's strict reader accepts.
const std::set<std::string> kKeywords = {
    "WIDTH", "HEIGHT", "X",    "Y",     "TITLE",  "ID",     "FULLSCREEN", "BGCOLOR", "FGCOLOR",
    "OCOLOR", "COLOR", "BGFILTER", "BG", "SRC",   "ASPECT", "X2",         "Y2",      "DEPTH",
    "NAME",  "SIZE",   "BOLD", "ITALIC", "FONTID", "ENCODING", "FONTNAME", "WID",    "GID",
    "STYLE", "VALUE",  "RESIZEABLE", "DND"};

bool IsColour(const std::string& v) {
  return v.size() == 8 && std::all_of(v.begin(), v.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// Rules both dialogs follow; returns the widgets by ID.
std::map<int, Tag> CheckDialog(const std::string& file, const std::set<int>& itemIds) {
  const std::string xml = Read(file);
  EXPECT_EQ(xml.find('\''), std::string::npos) << file << ": single quotes";
  const std::vector<Tag> tags = ReadTags(xml);
  std::map<int, Tag> byId;
  EXPECT_FALSE(tags.empty());
  if (tags.empty()) return byId;
  EXPECT_EQ(tags[0].name, "WINDOW") << file;
  EXPECT_EQ(itemIds.count(std::atoi(tags[0].Get("ID").c_str())), 0u) << file << ": the window has an item ID";
  EXPECT_TRUE(tags[0].Has("TITLE"));
  EXPECT_NE(tags[0].Get("RESIZEABLE"), "1");
  if (tags[0].Has("BG")) {
    EXPECT_EQ(tags[0].Get("FGCOLOR"), "FFFFFFFF") << file << ": a background picture needs a white tint";
    EXPECT_TRUE(fs::is_regular_file(kData / tags[0].Get("BG")));
  }
  int fonts = 0, fontId = 0;
  for (const Tag& t : tags) {
    for (const auto& [k, v] : t.attributes) {
      EXPECT_EQ(kKeywords.count(k), 1u) << file << ": unknown attribute " << k;
      if (k.find("COLOR") != std::string::npos) {
        EXPECT_TRUE(IsColour(v)) << file << ": " << k << "=" << v;
      }
    }
    const int id = std::atoi(t.Get("ID").c_str());
    EXPECT_TRUE(byId.emplace(id, t).second) << file << ": ID " << id << " twice";
    if (t.name == "FONT") {
      ++fonts;
      fontId = id;
      EXPECT_NE(id, 0);
      EXPECT_EQ(t.Get("FONTNAME"), t.Get("NAME"));
      EXPECT_TRUE(fs::is_regular_file(kData / t.Get("FONTNAME"))) << t.Get("FONTNAME");
      EXPECT_EQ(t.Get("ENCODING"), "ISO-8859-1");
      EXPECT_GT(std::atoi(t.Get("SIZE").c_str()), 0);
      continue;
    }
    EXPECT_NE(t.name, "IMG") << file << ": no pictures are needed";
    if (t.name == "LINE") continue;  // drawn, not written: no size, font or text colour
    EXPECT_TRUE(t.Has("WIDTH") && t.Has("HEIGHT")) << file << ": " << t.name << " " << id;
    if (t.name != "WINDOW") {
      EXPECT_EQ(std::atoi(t.Get("FONTID").c_str()), fontId) << file << ": " << t.name << " " << id;
      EXPECT_TRUE(t.Has("COLOR")) << file << ": " << t.name << " " << id;
    }
  }
  EXPECT_EQ(fonts, 1) << file;
  for (int id : itemIds) EXPECT_EQ(byId.count(id), 1u) << file << ": item " << id;
  return byId;
}

// --- the glyph set: cut at its separators as the disk cuts it ------------------

struct Glyph {
  char character = 0;
  int width = 0;
  std::vector<std::string> rows;  // '#' set, '.' clear; row 0 at the top
  bool Set(int row, int column) const { return rows[static_cast<size_t>(row)][static_cast<size_t>(column)] == '#'; }
  bool RowInked(int row) const { return rows[static_cast<size_t>(row)].find('#') != std::string::npos; }
  bool ColumnInked(int column) const {
    for (int row = 0; row < 9; ++row)
      if (Set(row, column)) return true;
    return false;
  }
};

std::vector<Glyph> GlyphSet() {
  const std::string bytes = Read("fontset.dat");
  std::vector<Glyph> glyphs;
  if (bytes.size() < 9u * 301u) return glyphs;
  int start = 0;
  for (int i = 0; i < 297; ++i) {
    if (bytes[static_cast<size_t>(i)] != 2) continue;
    Glyph g;
    g.character = glyphs.size() < 44 ? mkdemo::kGlyphChars[glyphs.size()] : '?';
    g.width = i - start;
    for (int row = 0; row < 9; ++row) {
      std::string line;
      for (int k = start; k < i; ++k) line += bytes[static_cast<size_t>(row) * 301 + static_cast<size_t>(k)] == 1 ? '#' : '.';
      g.rows.push_back(line);
    }
    glyphs.push_back(g);
    start = i + 1;
  }
  return glyphs;
}

std::string Picture(const Glyph& g) {
  std::string picture;
  for (const std::string& row : g.rows) picture += row + "\n";
  return picture;
}

// --- music ------------------------------------------------------------------------

struct Decoded {
  int channels = 0;
  long rate = 0;
  std::vector<float> left, right;
};

bool Decode(const std::string& path, Decoded& out) {
  OggVorbis_File vf;
  if (ov_fopen(path.c_str(), &vf) != 0) return false;
  const vorbis_info* info = ov_info(&vf, -1);
  out.channels = info->channels;
  out.rate = info->rate;
  bool ok = true;
  for (;;) {
    float** pcm = nullptr;
    int section = 0;
    const long n = ov_read_float(&vf, &pcm, 4096, &section);
    if (n == 0) break;
    if (n < 0) {
      ok = false;
      break;
    }
    out.left.insert(out.left.end(), pcm[0], pcm[0] + n);
    out.right.insert(out.right.end(), pcm[out.channels > 1 ? 1 : 0], pcm[out.channels > 1 ? 1 : 0] + n);
  }
  ov_clear(&vf);
  return ok;
}

void Fft(std::vector<std::complex<double>>& a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> w = std::polar(1.0, -2 * 3.14159265358979323846 / static_cast<double>(len));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> v = 1;
      for (size_t k = 0; k < len / 2; ++k, v *= w) {
        const auto x = a[i + k], y = a[i + k + len / 2] * v;
        a[i + k] = x + y;
        a[i + k + len / 2] = x - y;
      }
    }
  }
}

// The disk's three spectrum sums (bins 1-2, 2-41, 42-251) of 512 frames from
// `start`, with a Hann window, scaled so that a full-scale sine reads 1.
std::array<double, 3> BandSums(const std::vector<float>& s, size_t start) {
  std::vector<std::complex<double>> a(512);
  for (size_t i = 0; i < 512; ++i)
    a[i] = s[start + i] * 0.5 * (1 - std::cos(2 * 3.14159265358979323846 * static_cast<double>(i) / 511));
  Fft(a);
  auto mag = [&](size_t k) { return std::abs(a[k]) / 128.0; };
  std::array<double, 3> sums{};
  for (size_t k = 1; k <= 2; ++k) sums[0] += mag(k);
  for (size_t k = 2; k <= 41; ++k) sums[1] += mag(k);
  for (size_t k = 42; k <= 251; ++k) sums[2] += mag(k);
  return sums;
}

}  // namespace

TEST(DemoData, HoldsEveryFileTheDiskOpens) {
  std::vector<std::string> names = LayerFileNames();
  for (const char* n : {"tracks.dat", "eq.tga", "volume.tga", "swscroll.tga", "scroll.txt",
                        "fontset.dat", "cfg.xml", "msgbox.xml", "intro.ogg", "end.ogg", "folder.jpg"})
    names.push_back(n);
  for (int i = 1; i <= 27; ++i) names.push_back((i < 10 ? "0" : "") + std::to_string(i) + ".tga");
  for (const Record& r : TrackRecords()) names.push_back(r.ogg);
  for (const std::string& n : names) EXPECT_TRUE(fs::is_regular_file(kData / n)) << n;
}

TEST(DemoData, TrackTableHasItsColumnsAndDrawableTexts) {
  EXPECT_EQ(Read("tracks.dat").size(), 28u * 1025u);
  const std::vector<Record> records = TrackRecords();
  ASSERT_EQ(records.size(), 28u);
  for (size_t i = 0; i < records.size(); ++i) {
    const Record& r = records[i];
    const int column = i < 3 ? 1 : i < 11 ? 2 : i < 19 ? 3 : 0;
    EXPECT_EQ(r.column, column) << "record " << i;
    EXPECT_EQ(r.ogg, (i < 9 ? "0" : "") + std::to_string(i + 1) + ".ogg");
    for (const std::string& text : {r.line1, r.line2, r.line3}) {
      EXPECT_FALSE(text.empty()) << "record " << i;
      for (char c : text) EXPECT_TRUE(mkdemo::IsGlyphText(c)) << "record " << i << ": '" << c << "' in " << text;
    }
  }
}

TEST(DemoData, GlyphSetHas44GlyphsInItsLayout) {
  const std::string bytes = Read("fontset.dat");
  ASSERT_EQ(bytes.size(), 9u * 301u);
  const std::vector<uint8_t> image(bytes.begin(), bytes.end());
  const std::vector<int> widths = mkdemo::FontsetWidths(image);
  ASSERT_EQ(widths.size(), 44u);
  int inked = 0;
  for (int w : widths) {
    EXPECT_GE(w, 1);
    EXPECT_LE(w, 16);
  }
  for (size_t i = 0; i < image.size(); ++i) {
    if (i < 297 && image[i] == 2) continue;
    EXPECT_LE(image[i], 1) << "byte " << i;
    inked += image[i];
  }
  EXPECT_GT(inked, 44 * 8);
  // Every glyph has ink, so no character draws as a gap.
  int start = 0;
  for (size_t g = 0; g < widths.size(); ++g) {
    int ink = 0;
    for (int row = 0; row < 9; ++row)
      for (int k = start; k < start + widths[g]; ++k) ink += image[static_cast<size_t>(row) * 301 + k] == 1;
    EXPECT_GT(ink, 0) << "glyph " << mkdemo::kGlyphChars[g];
    start += widths[g] + 1;
  }
  // Separator columns and the columns after the last glyph belong to no
  // glyph: ink there would never be drawn.
  std::vector<bool> inGlyph(301, false);
  start = 0;
  for (int w : widths) {
    for (int k = start; k < start + w; ++k) inGlyph[static_cast<size_t>(k)] = true;
    start += w + 1;
  }
  for (int row = 0; row < 9; ++row)
    for (int k = 0; k < 301; ++k) {
      if (inGlyph[static_cast<size_t>(k)] || (row == 0 && image[static_cast<size_t>(k)] == 2)) continue;
      EXPECT_EQ(image[static_cast<size_t>(row) * 301 + static_cast<size_t>(k)], 0) << "row " << row << " column " << k;
    }
}

TEST(DemoData, GlyphsHaveInkInTheirFirstAndLastColumns) {
  // The drawers put one clear column between glyphs; a clear edge column
  // more reads as a blank inside the word.
  const std::vector<Glyph> glyphs = GlyphSet();
  ASSERT_EQ(glyphs.size(), 44u);
  for (const Glyph& g : glyphs) {
    EXPECT_TRUE(g.ColumnInked(0)) << "'" << g.character << "'\n" << Picture(g);
    EXPECT_TRUE(g.ColumnInked(g.width - 1)) << "'" << g.character << "'\n" << Picture(g);
  }
}

TEST(DemoData, GlyphWidthsAreOddSoCentredTextStartsOnAWholeUnit) {
  // A centred 16-pixel text starts half its width left of the centre: with
  // odd glyph widths every advance is even and that start is a whole unit.
  const std::vector<Glyph> glyphs = GlyphSet();
  ASSERT_EQ(glyphs.size(), 44u);
  for (const Glyph& g : glyphs) EXPECT_EQ(g.width % 2, 1) << "'" << g.character << "' is " << g.width << " wide";
}

TEST(DemoData, GlyphsLeaveTheirLastRowClear) {
  // Track texts are stacked nine units apart, the glyphs' own height: a
  // clear last row keeps a descender off the ascenders of the next line.
  const std::vector<Glyph> glyphs = GlyphSet();
  ASSERT_EQ(glyphs.size(), 44u);
  for (const Glyph& g : glyphs) EXPECT_FALSE(g.RowInked(8)) << "'" << g.character << "'\n" << Picture(g);
}

TEST(DemoData, NoTwoGlyphsAreAlike) {
  const std::vector<Glyph> glyphs = GlyphSet();
  ASSERT_EQ(glyphs.size(), 44u);
  std::map<std::string, char> seen;
  for (const Glyph& g : glyphs) {
    const auto [it, fresh] = seen.emplace(Picture(g), g.character);
    EXPECT_TRUE(fresh) << "'" << g.character << "' draws as '" << it->second << "'\n" << Picture(g);
  }
}

TEST(DemoData, IAndJHaveADotApartFromTheirStems) {
  const std::vector<Glyph> glyphs = GlyphSet();
  ASSERT_EQ(glyphs.size(), 44u);
  for (char c : {'i', 'j'}) {
    const Glyph& g = glyphs[static_cast<size_t>(c - 'a')];
    int top = 0;
    while (top < 9 && !g.RowInked(top)) ++top;
    ASSERT_LT(top + 2, 9) << c;
    // One row of dot, a clear row, then the stem.
    EXPECT_EQ(std::count(g.rows[static_cast<size_t>(top)].begin(), g.rows[static_cast<size_t>(top)].end(), '#'), 1)
        << c << "\n" << Picture(g);
    EXPECT_FALSE(g.RowInked(top + 1)) << c << "\n" << Picture(g);
    EXPECT_TRUE(g.RowInked(top + 2)) << c << "\n" << Picture(g);
    // The dot stands over the stem, not beside it.
    const size_t dot = g.rows[static_cast<size_t>(top)].find('#');
    EXPECT_EQ(g.rows[static_cast<size_t>(top + 2)][dot], '#') << c << "\n" << Picture(g);
  }
}

TEST(DemoData, ScrollTextUsesOnlyGlyphCharacters) {
  const std::string text = Read("scroll.txt");
  EXPECT_GT(text.size(), 200u);
  for (char c : text) EXPECT_TRUE(mkdemo::IsGlyphText(c)) << "'" << c << "'";
}

TEST(DemoData, PicturesAreUncompressedTgaOfPowerOfTwoSizes) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(kData)) {
    if (entry.path().extension() != ".tga") continue;
    ++count;
    const std::string name = entry.path().filename().string();
    const std::string b = Read(name);
    ASSERT_GE(b.size(), 18u) << name;
    auto u8 = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(b[i])); };
    const unsigned w = u8(12) | u8(13) << 8, h = u8(14) | u8(15) << 8, bits = u8(16);
    EXPECT_EQ(u8(1), 0u) << name;
    EXPECT_EQ(u8(2), 2u) << name;
    for (size_t i = 3; i < 8; ++i) EXPECT_EQ(u8(i), 0u) << name;
    EXPECT_TRUE(bits == 24 || bits == 32) << name;
    EXPECT_TRUE(IsPowerOfTwo(w) && IsPowerOfTwo(h)) << name << " " << w << "x" << h;
    EXPECT_EQ(b.size(), 18u + u8(0) + static_cast<size_t>(w) * h * bits / 8) << name;
    // A name ending in "_a" would be merged into another picture as its alpha.
    EXPECT_EQ(name.find("_a."), std::string::npos) << name;
    const bool photo = name.size() == 6 && std::isdigit(static_cast<unsigned char>(name[0]));
    if (photo) {
      EXPECT_TRUE(w == 256 && h == 256) << name;
    }
    if (name == "volume.tga") {
      EXPECT_GE(w, 256u);
    }
  }
  EXPECT_GE(count, 30);
}

TEST(DemoData, LayerFilesAreValidAndNameExistingPictures) {
  for (const std::string& name : LayerFileNames()) {
    const std::vector<Layer> layers = ReadLayers(name);
    EXPECT_FALSE(layers.empty()) << name;
    for (const Layer& l : layers) {
      EXPECT_FALSE(l.keys.empty()) << name << " " << l.texture;
      EXPECT_TRUE(l.blend >= 0 && l.blend <= 5) << name;
      EXPECT_NE(l.texture.rfind("BUF", 0), 0u) << name << ": " << l.texture;
      EXPECT_NE(l.texture, "RT") << name;
      EXPECT_NE(l.texture, "GLOW") << name;
      if (l.texture != "white.tga") {
        EXPECT_TRUE(fs::is_regular_file(kData / l.texture)) << name << ": " << l.texture;
      }
      for (size_t k = 0; k < l.keys.size(); ++k) {
        const Key& key = l.keys[k];
        EXPECT_EQ(key.time, std::round(key.time)) << name;
        EXPECT_TRUE(key.values[2] >= 0 && key.values[2] <= 2) << name << ": easing";
        for (size_t c = 6; c < 10; ++c) EXPECT_TRUE(key.values[c] >= 0 && key.values[c] <= 255) << name;
        if (k > 0) {
          EXPECT_GT(key.time, l.keys[k - 1].time) << name << " " << l.texture << " key " << k;
        }
      }
    }
  }
}

TEST(DemoData, LayerKeysCoverTheTimesEachSetIsDrawnAt) {
  // File, first and last time at which a screen draws it.
  const std::vector<std::tuple<std::string, double, double>> ranges = {
      {"loading.ife", 18, 1044},  {"preintro.ife", 0, 1000},   {"intro00.ife", 0, 8730},
      {"intro01.ife", 0, 8730},   {"intro02.ife", 0, 8730},    {"intro03.ife", 0, 8730},
      {"intro04.ife", 0, 10864},  {"blackfade.ife", 0, 1069},  {"main_bkg.ife", 0, 0},
      {"bonus_bkg.ife", 0, 0},    {"keret.ife", 0, 0},         {"highlight.ife", 0, 200},
      {"gui.ife", 0, 550},        {"endscroll.ife", 500, 500}, {"end2.ife", 0, 1180},
      {"bal_mely.ife", 0, 0},     {"bal_kozep.ife", 0, 0},     {"bal_magas.ife", 0, 0},
      {"jobb_mely.ife", 0, 0},    {"jobb_kozep.ife", 0, 0},    {"jobb_magas.ife", 0, 0}};
  for (const auto& [name, first, last] : ranges)
    for (const Layer& l : ReadLayers(name)) {
      ASSERT_FALSE(l.keys.empty());
      EXPECT_LE(l.keys.front().time, first) << name << " " << l.texture;
      if (l.keys.size() > 1) {
        EXPECT_GE(l.keys.back().time, last) << name << " " << l.texture;
      }
    }
  // The buttons' picture changes exactly at the hover times the screen uses.
  for (const Layer& l : ReadLayers("gui.ife")) {
    std::vector<double> times;
    for (const Key& k : l.keys) times.push_back(k.time);
    EXPECT_EQ(times, (std::vector<double>{0, 20, 150, 250, 350, 450, 550})) << l.texture;
  }
  // The highlight has a key for each of the three groups.
  for (const Layer& l : ReadLayers("highlight.ife")) {
    std::vector<double> times;
    for (const Key& k : l.keys) times.push_back(k.time);
    EXPECT_EQ(times, (std::vector<double>{0, 100, 200})) << l.texture;
  }
  // blackfade goes from clear to opaque black.
  const std::vector<Layer> fade = ReadLayers("blackfade.ife");
  ASSERT_EQ(fade.size(), 1u);
  EXPECT_EQ(fade[0].keys.front().values[9], 0);
  EXPECT_EQ(fade[0].keys.back().values[9], 255);
  for (size_t c = 6; c < 9; ++c) EXPECT_EQ(fade[0].keys.back().values[c], 0);
}

TEST(DemoData, SetsDrawnBeforeTextLeaveTexturingOnAndColourWhite) {
  for (const char* name : {"main_bkg.ife", "jobb_magas.ife", "endscroll.ife"}) {
    const std::vector<Layer> layers = ReadLayers(name);
    ASSERT_FALSE(layers.empty()) << name;
    const Layer& last = layers.back();
    EXPECT_NE(last.texture, "white.tga") << name;
    for (const Key& k : last.keys)
      for (size_t c = 6; c < 10; ++c) EXPECT_EQ(k.values[c], 255) << name;
  }
}

TEST(DemoData, DialogsHaveTheItemsTheProgramLooksFor) {
  const std::map<int, Tag> cfg =
      CheckDialog("cfg.xml", {23, 101, 102, 103, 115, 116, 117, 120, 121, 122, 1000});
  for (int id : {23, 1000}) EXPECT_EQ(cfg.at(id).name, "BUTTON");
  for (int id : {120, 121, 122}) EXPECT_EQ(cfg.at(id).name, "CHECKBOX");
  EXPECT_EQ(cfg.at(121).Get("VALUE"), "1");
  EXPECT_NE(cfg.at(120).Get("VALUE"), "1");
  EXPECT_EQ(cfg.at(122).Get("VALUE"), "1");  // windowed unless the user says otherwise
  // Each choice is one radio group with exactly one preselected item.
  for (const std::vector<int>& group : {std::vector<int>{101, 102, 103}, std::vector<int>{115, 116, 117}}) {
    int selected = 0;
    for (int id : group) {
      EXPECT_EQ(cfg.at(id).name, "RADIOBUTTON") << id;
      EXPECT_EQ(cfg.at(id).Get("GID"), cfg.at(group[0]).Get("GID")) << id;
      selected += cfg.at(id).Get("VALUE") == "1";
    }
    EXPECT_EQ(selected, 1) << group[0];
  }
  EXPECT_EQ(cfg.at(101).Get("VALUE"), "1");
  EXPECT_NE(cfg.at(101).Get("GID"), cfg.at(115).Get("GID"));

  const std::map<int, Tag> box = CheckDialog("msgbox.xml", {100, 23});
  EXPECT_EQ(box.at(100).name, "LABEL");
  EXPECT_GE(std::atoi(box.at(100).Get("HEIGHT").c_str()), 24);
  EXPECT_EQ(box.at(23).name, "BUTTON");
  EXPECT_NE(box.at(1).Get("TITLE"), cfg.at(1).Get("TITLE"));
  // The longest message the error handler makes (255 characters of a file
  // name) fits the text's bitmap at the box's font size.
  const mkdemo::Face face((kData / box.at(2).Get("FONTNAME")).string());
  ASSERT_TRUE(face.ok());
  std::string message = "File not found: ";
  while (message.size() < 254) message += "intro_04.ife/";
  message = message.substr(0, 254) + ".";
  const mkdemo::Mask text = face.Render(message, std::atoi(box.at(2).Get("SIZE").c_str()));
  EXPECT_LE(text.width, std::atoi(box.at(100).Get("WIDTH").c_str()));
}

TEST(DemoData, CoverIsJfif) {
  const std::string jpg = Read("folder.jpg");
  ASSERT_GT(jpg.size(), 11u);
  EXPECT_EQ(jpg.substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(jpg.substr(6, 4), "JFIF");
}

TEST(DemoData, EveryPieceDecodesAsMusicThatMovesEverySpectrumBand) {
  std::vector<std::string> pieces = {"intro.ogg", "end.ogg"};
  for (const Record& r : TrackRecords()) pieces.push_back(r.ogg);
  for (const std::string& name : pieces) {
    Decoded d;
    ASSERT_TRUE(Decode((kData / name).string(), d)) << name;
    EXPECT_EQ(d.channels, 2) << name;
    EXPECT_EQ(d.rate, 44100) << name;
    const double seconds = static_cast<double>(d.left.size()) / 44100.0;
    if (name == "intro.ogg") {
      EXPECT_GE(seconds, 55.0);
    } else if (name == "end.ogg") {
      EXPECT_GE(seconds, 64.0);  // the credits leave the screen after 63.7 s
      EXPECT_LE(seconds, 70.0);
    } else {
      EXPECT_GE(seconds, 20.0) << name;
      EXPECT_LE(seconds, 40.0) << name;
    }
    // Sample the spectrum the way the disk does, over the middle of the piece.
    std::array<double, 3> low{1e9, 1e9, 1e9}, high{0, 0, 0};
    const size_t frames = d.left.size();
    for (size_t n = 0; n < 200; ++n) {
      const size_t at = frames / 4 + n * (frames / 2 - 512) / 200;
      for (const auto* channel : {&d.left, &d.right}) {
        const auto sums = BandSums(*channel, at);
        for (size_t b = 0; b < 3; ++b) {
          low[b] = std::min(low[b], sums[b]);
          high[b] = std::max(high[b], sums[b]);
        }
      }
    }
    const double scale[3] = {250, 150, 60};  // the layer-set times per unit
    std::printf("%-10s %5.1f s  low %6.1f-%6.1f  mid %6.1f-%6.1f  high %6.1f-%6.1f\n", name.c_str(), seconds,
                low[0] * scale[0], high[0] * scale[0], low[1] * scale[1], high[1] * scale[1], low[2] * scale[2],
                high[2] * scale[2]);
    for (size_t b = 0; b < 3; ++b) {
      EXPECT_GT(high[b] * scale[b], 60.0) << name << " band " << b;
      EXPECT_LT(low[b], high[b] * 0.6) << name << " band " << b << " does not move";
    }
  }
}

TEST(DemoData, GeneratorWritesTheSameBytesOnEveryRun) {
#ifdef MKDEMO_GENERATOR_RERUN_SKIPPED
  GTEST_SKIP() << "the build ran the generator under the sanitizers; the normal build checks that it repeats";
#endif
  qt::TempDir dir;
  const std::string out = dir / "kelm";
  const qt::ChildResult run = qt::RunInChild(
      [&] {
        execl(MKDEMO_EXE, MKDEMO_EXE, out.c_str(), static_cast<char*>(nullptr));
        _exit(127);
      },
      280);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(kData)) names.insert(entry.path().filename().string());
  std::set<std::string> again;
  for (const auto& entry : fs::directory_iterator(out)) again.insert(entry.path().filename().string());
  ASSERT_EQ(again, names);
  for (const std::string& n : names)
    EXPECT_TRUE(qt::ReadFile(out + "/" + n) == Read(n)) << n << " differs between runs";
}

TEST(DemoData, ArchiveHoldsTheFolder) {
  if (!fs::exists(MKDEMO_ARCHIVE) || !fs::exists(MKDEMO_QRNPACK)) GTEST_SKIP() << "no archive packed yet";
  const qt::ChildResult listing = qt::RunInChild([] {
    execl(MKDEMO_QRNPACK, MKDEMO_QRNPACK, "-l", MKDEMO_ARCHIVE, static_cast<char*>(nullptr));
    _exit(127);
  });
  ASSERT_EQ(listing.exitCode, 0) << listing.err;
  std::map<std::string, uintmax_t> listed;
  for (const std::string& line : qt::SplitLines(listing.out)) {
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string s; words >> s;) w.push_back(s);
    if (w.size() >= 2) listed[w.back()] = std::strtoull(w[0].c_str(), nullptr, 10);
  }
  std::map<std::string, uintmax_t> folder;
  for (const auto& entry : fs::directory_iterator(kData))
    folder[entry.path().filename().string()] = entry.file_size();
  EXPECT_EQ(listed, folder);
  EXPECT_LT(fs::file_size(MKDEMO_ARCHIVE), 12u * 1024 * 1024);
}
