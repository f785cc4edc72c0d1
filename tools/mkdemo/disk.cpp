#include "tools/mkdemo/disk.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace mkdemo {
namespace {

// Short helper to describe a piece in one line of the table below.
SongSpec Song(Style style, double bpm, int root, bool minor, int progression, double seconds,
              uint32_t seed) {
  SongSpec s;
  s.style = style;
  s.bpm = bpm;
  s.root = root;
  s.minor = minor;
  s.progression = progression;
  s.seconds = seconds;
  s.seed = seed;
  return s;
}

void PutShortString(std::vector<uint8_t>& out, size_t offset, const std::string& text) {
  const size_t n = std::min<size_t>(text.size(), 255);
  out[offset] = static_cast<uint8_t>(n);
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), out.begin() + offset + 1);
}

}  // namespace

std::string Track::OggName(int index) const {
  char name[16];
  std::snprintf(name, sizeof name, "%02d.ogg", index + 1);
  return name;
}

const std::vector<Track>& Tracks() {
  using S = Style;
  static const std::vector<Track> tracks = {
      // Column 1: remixes of morrowkin's pieces.
      {"velvetine", "glass harbour", "morrowkin", 1, Song(S::House, 124, 33, true, 0, 30, 11)},
      {"nokturna", "paper moons", "morrowkin", 1, Song(S::Downtempo, 92, 38, true, 1, 28, 12)},
      {"blipstorm", "slow tide", "morrowkin", 1, Song(S::Chip, 146, 40, false, 0, 24, 13)},
      // Column 2: remixes of arbolt's pieces.
      {"cyan drift", "iron meadow", "arbolt", 2, Song(S::Trance, 138, 35, true, 2, 30, 21)},
      {"okrasonic", "northern relay", "arbolt", 2, Song(S::Electro, 122, 31, true, 3, 26, 22)},
      {"pixelharp", "pale engine", "arbolt", 2, Song(S::Synthwave, 104, 36, true, 0, 30, 23)},
      {"tundra kid", "tin soldiers", "arbolt", 2, Song(S::DrumAndBass, 172, 34, true, 1, 25, 24)},
      {"lumenis", "low orbit", "arbolt", 2, Song(S::House, 126, 39, false, 1, 26, 25)},
      {"halcyon grid", "copper sky", "arbolt", 2, Song(S::Downtempo, 96, 32, false, 2, 27, 26)},
      {"kobalt", "night ferry", "arbolt", 2, Song(S::Electro, 118, 37, true, 0, 24, 27)},
      {"mirelle", "static garden", "arbolt", 2, Song(S::Trance, 136, 41, false, 3, 28, 28)},
      // Column 3: remixes of quellane's pieces.
      {"dr. vortex", "city of lanterns", "quellane", 3, Song(S::Synthwave, 108, 33, false, 2, 27, 31)},
      {"faxmachine", "after the rain", "quellane", 3, Song(S::Chip, 150, 36, true, 2, 23, 32)},
      {"sinewave sally", "blue hour", "quellane", 3, Song(S::Downtempo, 88, 31, true, 3, 29, 33)},
      {"brassica", "kite season", "quellane", 3, Song(S::House, 122, 38, false, 3, 25, 34)},
      {"polyglot", "soft machines", "quellane", 3, Song(S::DrumAndBass, 174, 40, true, 2, 24, 35)},
      {"gloomcat", "hollow bells", "quellane", 3, Song(S::Trance, 140, 33, true, 1, 27, 36)},
      {"zephyrine", "mirror lake", "quellane", 3, Song(S::Synthwave, 100, 35, true, 3, 29, 37)},
      {"mokka", "last tram home", "quellane", 3, Song(S::Electro, 126, 39, false, 2, 24, 38)},
      // Bonus tracks.
      {"ironlung", "glass harbour - dub", "morrowkin", 0, Song(S::Downtempo, 84, 33, true, 0, 26, 41)},
      {"teleskop", "pale engine - 8bit", "arbolt", 0, Song(S::Chip, 152, 36, true, 0, 22, 42)},
      {"fennec", "blue hour - night drive", "quellane", 0, Song(S::Synthwave, 98, 31, true, 3, 28, 43)},
      {"datura", "iron meadow - rave", "arbolt", 0, Song(S::Trance, 142, 35, true, 2, 24, 44)},
      {"orbitron jr", "kite season - broken", "quellane", 0, Song(S::Electro, 120, 38, false, 3, 24, 45)},
      {"quasar kate", "paper moons - jungle", "morrowkin", 0, Song(S::DrumAndBass, 170, 38, true, 1, 24, 46)},
      {"hexdump", "copper sky - club", "arbolt", 0, Song(S::House, 125, 32, false, 2, 25, 47)},
      {"mellowtron", "mirror lake - calm", "quellane", 0, Song(S::Ambient, 110, 35, true, 3, 26, 48)},
      {"rustbelt", "night ferry - 1991", "arbolt", 0, Song(S::Electro, 128, 37, true, 0, 23, 49)},
  };
  return tracks;
}

SongSpec IntroSong() { return Song(Style::Ambient, 120, 33, true, 0, 56, 7); }
SongSpec OutroSong() { return Song(Style::Outro, 96, 36, false, 0, 64.5, 9); }

std::vector<uint8_t> BuildTrackTable(const std::vector<Track>& tracks) {
  std::vector<uint8_t> table(static_cast<size_t>(kTrackCount) * kTrackRecordSize, 0);
  for (int i = 0; i < kTrackCount && i < static_cast<int>(tracks.size()); ++i) {
    const size_t base = static_cast<size_t>(i) * kTrackRecordSize;
    const Track& t = tracks[static_cast<size_t>(i)];
    PutShortString(table, base + 0, t.remixer);
    PutShortString(table, base + 256, t.title);
    PutShortString(table, base + 512, t.original);
    PutShortString(table, base + 768, t.OggName(i));
    table[base + 1024] = static_cast<uint8_t>(t.column);
  }
  return table;
}

std::string ScrollText() {
  return "welcome to the zentrove remix competition 2 musicdisk!     "
         "nineteen remixes of tunes by morrowkin, arbolt and quellane, "
         "plus nine bonus tracks behind the star button.     "
         "click a title to play it, drag the blue bar to set the volume, "
         "press shuffle for a surprise, or turn the photo into a sliding puzzle and beat "
         "your own record.     "
         "greetings fly out to all remixers, to the compo orgas, to everybody at the party "
         "place and to you, listener!     "
         "send your comments to kelm@zentrove.example     "
         "code by ferrocene - graphics by lumi ostara - intro and outro music by arbolt.     "
         "see you at the next competition!          ";
}

std::vector<std::string> CreditLines() {
  return {
      "#zentrove remix competition 2",
      "the musicdisk",
      "",
      "",
      "#code",
      "ferrocene",
      "",
      "#graphics and design",
      "lumi ostara",
      "",
      "#intro and outro music",
      "arbolt",
      "",
      "#original tunes",
      "morrowkin",
      "arbolt",
      "quellane",
      "",
      "#remixers",
      "velvetine - nokturna - blipstorm",
      "cyan drift - okrasonic - pixelharp",
      "tundra kid - lumenis - halcyon grid",
      "kobalt - mirelle - dr. vortex",
      "faxmachine - sinewave sally - brassica",
      "polyglot - gloomcat - zephyrine - mokka",
      "",
      "#bonus remixers",
      "ironlung - teleskop - fennec",
      "datura - orbitron jr - quasar kate",
      "hexdump - mellowtron - rustbelt",
      "",
      "#compo organisers",
      "the zentrove crew",
      "",
      "#photos",
      "made by the generator, not by a camera",
      "",
      "",
      "#thank you for listening!",
  };
}

namespace {

// Attributes shared by the dialogs' text widgets: the font and the colours.
std::string TextColours(const char* text, const char* back, const char* over, const char* fore) {
  std::ostringstream s;
  s << "FONTID=\"2\" COLOR=\"" << text << "\" BGCOLOR=\"" << back << "\" OCOLOR=\"" << over
    << "\" FGCOLOR=\"" << fore << "\"";
  return s.str();
}

std::string Widget(const char* tag, int id, int x, int y, int w, int h, const std::string& title,
                   const std::string& extra) {
  std::ostringstream s;
  s << "  <" << tag << " ID=\"" << id << "\" X=\"" << x << "\" Y=\"" << y << "\" WIDTH=\"" << w
    << "\" HEIGHT=\"" << h << "\" TITLE=\"" << title << "\" " << extra << "/>\n";
  return s.str();
}

std::string Header(const std::string& window, const std::string& fontName, int size) {
  std::ostringstream s;
  s << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" << window << "\n"
    << "  <FONT ID=\"2\" FONTNAME=\"" << fontName << "\" NAME=\"" << fontName
    << "\" ENCODING=\"ISO-8859-1\" SIZE=\"" << size << "\"/>\n";
  return s.str();
}

}  // namespace

std::string ConfigDialogXml(const std::string& fontName) {
  // A label's colour is applied twice (text and tint): these are the
  // square roots of the colours seen.
  const std::string label = TextColours("BAD1EBFF", "00000000", "00000000", "89ACD8FF");
  const std::string choice = TextColours("E4E4E4FF", "18243AFF", "22345AFF", "89ACD8FF");
  const std::string button = TextColours("FFFFFFFF", "2A3D5CFF", "3E5A86FF", "89ACD8FF");
  std::string xml = Header(
      "<WINDOW ID=\"1\" TITLE=\"Zentrove Remix Competition 2 Musicdisk - setup\" WIDTH=\"440\" "
      "HEIGHT=\"340\" RESIZEABLE=\"0\" BG=\"cfgbg.tga\" BGFILTER=\"linear\" FGCOLOR=\"FFFFFFFF\" "
      "BGCOLOR=\"0E1626FF\">",
      fontName, 12);
  xml += Widget("LABEL", 3, 24, 84, 180, 20, "Screen size", label);
  xml += Widget("RADIOBUTTON", 101, 24, 106, 180, 22, "1280 x 720", "GID=\"1\" VALUE=\"1\" " + choice);
  xml += Widget("RADIOBUTTON", 102, 24, 130, 180, 22, "1280 x 800", "GID=\"1\" " + choice);
  xml += Widget("RADIOBUTTON", 103, 24, 154, 180, 22, "1280 x 1024", "GID=\"1\" " + choice);
  xml += Widget("LABEL", 4, 236, 84, 180, 20, "Texture quality", label);
  xml += Widget("RADIOBUTTON", 115, 236, 106, 180, 22, "High", "GID=\"2\" VALUE=\"1\" " + choice);
  xml += Widget("RADIOBUTTON", 116, 236, 130, 180, 22, "Medium", "GID=\"2\" " + choice);
  xml += Widget("RADIOBUTTON", 117, 236, 154, 180, 22, "Low", "GID=\"2\" " + choice);
  xml += Widget("LABEL", 5, 24, 190, 180, 20, "Options", label);
  // A window suits every desktop: full screen is the user's choice.
  xml += Widget("CHECKBOX", 122, 24, 212, 180, 22, "Windowed", "VALUE=\"1\" " + choice);
  xml += Widget("CHECKBOX", 121, 24, 236, 180, 22, "Vertical sync", "VALUE=\"1\" " + choice);
  xml += Widget("CHECKBOX", 120, 236, 212, 180, 22, "No sound", "VALUE=\"0\" " + choice);
  xml += Widget("BUTTON", 1000, 236, 288, 84, 30, "Start", button);
  xml += Widget("BUTTON", 23, 332, 288, 84, 30, "Quit", button);
  xml += "</WINDOW>\n";
  return xml;
}

// 255 characters at the box's font size, the widest a message can be.
constexpr int kMessageWidth = 1800;

std::string MessageBoxXml(const std::string& fontName) {
  std::string xml = Header(
      "<WINDOW ID=\"1\" TITLE=\"Zentrove Remix Competition 2 Musicdisk - error\" WIDTH=\"640\" "
      "HEIGHT=\"150\" RESIZEABLE=\"0\" BGCOLOR=\"0E1626FF\">",
      fontName, 12);
  xml += Widget("LABEL", 3, 20, 18, 600, 20, "The music disk cannot go on.",
                TextColours("F9E0A7FF", "00000000", "00000000", "F2C46DFF"));
  xml += "  <LINE ID=\"4\" X=\"20\" Y=\"42\" X2=\"620\" Y2=\"42\" FGCOLOR=\"2A3D5CFF\"/>\n";
  // Wide enough for the longest message (255 characters): the window cuts
  // off what does not fit, the text bitmap does not.
  xml += Widget("LABEL", 100, 20, 56, kMessageWidth, 24, "",
                TextColours("F4F4F4FF", "00000000", "00000000", "89ACD8FF"));
  xml += Widget("BUTTON", 23, 536, 104, 84, 30, "OK",
                TextColours("FFFFFFFF", "2A3D5CFF", "3E5A86FF", "89ACD8FF"));
  xml += "</WINDOW>\n";
  return xml;
}

}  // namespace mkdemo
