// Music synthesis for the demo data: short electronic pieces made of drums,
// a bass line, chords and a lead, each from a small description, rendered
// deterministically to 44.1 kHz stereo.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace mkdemo {

inline constexpr int kSampleRate = 44100;

enum class Style {
  House,
  Electro,
  Trance,
  Downtempo,
  Chip,
  DrumAndBass,
  Synthwave,
  Ambient,  // the intro: no drums until late, long chords
  Outro,    // the end piece: slow and warm, fading out
};

struct SongSpec {
  Style style = Style::House;
  double bpm = 124;
  int root = 36;       // MIDI note of the key's root in the bass register
  bool minor = true;   // minor (or dorian) against major
  int progression = 0; // which chord progression
  double seconds = 30; // length; the song is cut into whole bars
  uint32_t seed = 1;   // drives the melodic and rhythmic variations
};

struct Stereo {
  std::vector<float> left;
  std::vector<float> right;
  size_t frames() const { return left.size(); }
};

// Renders a song; the result is normalised and soft-limited to below 1.
Stereo RenderSong(const SongSpec& spec);

// Encodes as Ogg Vorbis (quality -0.1 to 1.0) with the given stream serial
// and comment tags; false when the encoder refuses.
bool WriteOggVorbis(const std::string& path, const Stereo& audio, float quality, int serial,
                    const std::string& artist, const std::string& title);

}  // namespace mkdemo
