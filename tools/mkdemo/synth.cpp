#include "tools/mkdemo/synth.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace mkdemo {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
constexpr int kStepsPerBar = 16;

// xorshift32: small, fast and the same on every platform.
class Rng {
 public:
  explicit Rng(uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  float Uniform() { return static_cast<float>(Next() >> 8) / 16777216.0f; }
  float Bipolar() { return Uniform() * 2.0f - 1.0f; }
  int Below(int n) { return static_cast<int>(Uniform() * static_cast<float>(n)) % n; }

 private:
  uint32_t state_;
};

double NoteHz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

// Band-limited correction for the steps of saw and square waves.
double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

double Saw(double phase, double dt) { return 2.0 * phase - 1.0 - PolyBlep(phase, dt); }

double Pulse(double phase, double dt, double width) {
  double second = phase + 1.0 - width;
  second -= std::floor(second);
  return (phase < width ? 1.0 : -1.0) + PolyBlep(phase, dt) - PolyBlep(second, dt);
}

// Zero-delay-feedback state-variable low-pass filter.
class LowPass {
 public:
  double Process(double input, double cutoffHz, double resonance) {
    cutoffHz = std::clamp(cutoffHz, 20.0, kSampleRate * 0.45);
    const double g = std::tan(kPi * cutoffHz / kSampleRate);
    const double k = 2.0 - 2.0 * std::clamp(resonance, 0.0, 0.97);
    const double a1 = 1.0 / (1.0 + g * (g + k));
    const double a2 = g * a1, a3 = g * a2;
    const double v3 = input - ic2_;
    const double v1 = a1 * ic1_ + a2 * v3;
    const double v2 = ic2_ + a2 * ic1_ + a3 * v3;
    ic1_ = 2 * v1 - ic1_;
    ic2_ = 2 * v2 - ic2_;
    return v2;
  }

 private:
  double ic1_ = 0, ic2_ = 0;
};

// A stereo buffer that voices add into, with constant-power panning.
class Stem {
 public:
  explicit Stem(size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
  void Add(size_t frame, double value, double pan) {
    if (frame >= left.size()) return;
    const double angle = (pan + 1.0) * kPi / 4.0;
    left[frame] += static_cast<float>(value * std::cos(angle));
    right[frame] += static_cast<float>(value * std::sin(angle));
  }
  std::vector<float> left, right;
};

size_t FrameAt(double seconds) { return static_cast<size_t>(std::max(0.0, seconds) * kSampleRate); }

// --- drums -----------------------------------------------------------------

void Kick(Stem& out, double at, double gain, double pitch) {
  double phase = 0;
  const size_t start = FrameAt(at);
  const int length = static_cast<int>(0.42 * kSampleRate);
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double hz = pitch + 115.0 * std::exp(-t / 0.028);
    phase += kTwoPi * hz / kSampleRate;
    const double body = std::sin(phase) * std::exp(-t / 0.16);
    const double click = std::exp(-t / 0.0015) * 0.35;
    out.Add(start + i, gain * (body + click), 0.0);
  }
}

void Snare(Stem& out, Rng& rng, double at, double gain, double decay) {
  const size_t start = FrameAt(at);
  const int length = static_cast<int>(decay * 5 * kSampleRate);
  double low = 0, phase = 0;
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double noise = rng.Bipolar();
    low += 0.18 * (noise - low);  // keep the upper part of the noise
    phase += kTwoPi * 190.0 / kSampleRate;
    const double v = (noise - low) * std::exp(-t / decay) * 0.8 +
                     std::sin(phase) * std::exp(-t / 0.045) * 0.5;
    out.Add(start + i, gain * v, 0.08);
  }
}

void Clap(Stem& out, Rng& rng, double at, double gain) {
  const size_t start = FrameAt(at);
  const int length = static_cast<int>(0.35 * kSampleRate);
  double low = 0, band = 0;
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    double env = std::exp(-t / 0.09);
    for (double burst : {0.0, 0.011, 0.022})
      if (t >= burst && t < burst + 0.01) env += std::exp(-(t - burst) / 0.003);
    const double noise = rng.Bipolar();
    low += 0.35 * (noise - low);
    band += 0.5 * ((noise - low) - band);
    out.Add(start + i, gain * band * env, -0.1);
  }
}

void HiHat(Stem& out, Rng& rng, double at, double gain, double decay, double pan) {
  const size_t start = FrameAt(at);
  const int length = static_cast<int>(decay * 6 * kSampleRate);
  double low = 0;
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double noise = rng.Bipolar();
    low += 0.55 * (noise - low);
    out.Add(start + i, gain * (noise - low) * std::exp(-t / decay), pan);
  }
}

// --- pitched voices ----------------------------------------------------------

enum class Wave { Saw, Square, Pulse25, Sine, Reese };

struct Voice {
  Wave wave = Wave::Saw;
  double cutoff = 800;      // filter cutoff at rest
  double envCutoff = 1500;  // extra cutoff at the note's start
  double envDecay = 0.12;   // seconds
  double resonance = 0.5;
  double attack = 0.004;
  double release = 0.03;
  double gain = 0.3;
  double pan = 0.0;
  int unison = 1;           // detuned copies spread across the stereo field
  double detuneCents = 0;
};

void PlayNote(Stem& out, const Voice& v, double midi, double at, double duration) {
  const size_t start = FrameAt(at);
  const int held = static_cast<int>(duration * kSampleRate);
  const int length = held + static_cast<int>(v.release * 4 * kSampleRate);
  for (int u = 0; u < v.unison; ++u) {
    const double spread = v.unison > 1 ? (2.0 * u / (v.unison - 1) - 1.0) : 0.0;
    const double hz = NoteHz(midi + spread * v.detuneCents / 100.0);
    const double dt = hz / kSampleRate;
    const double pan = std::clamp(v.pan + spread * 0.6, -1.0, 1.0);
    double phase = 0.137 * u;  // fixed offsets keep the copies from cancelling
    phase -= std::floor(phase);
    double phase2 = 0.5;
    LowPass filter;
    const double gain = v.gain / std::sqrt(static_cast<double>(v.unison));
    for (int i = 0; i < length; ++i) {
      const double t = static_cast<double>(i) / kSampleRate;
      double s = 0;
      switch (v.wave) {
        case Wave::Saw: s = Saw(phase, dt); break;
        case Wave::Square: s = Pulse(phase, dt, 0.5); break;
        case Wave::Pulse25: s = Pulse(phase, dt, 0.25); break;
        case Wave::Sine: s = std::sin(kTwoPi * phase) + 0.15 * Saw(phase, dt); break;
        case Wave::Reese: {
          s = 0.5 * (Saw(phase, dt) + Saw(phase2, dt * 1.006));
          phase2 += dt * 1.006;
          phase2 -= std::floor(phase2);
          break;
        }
      }
      phase += dt;
      phase -= std::floor(phase);
      double env = std::min(1.0, t / v.attack);
      if (i >= held) env *= std::exp(-(t - duration) / v.release);
      const double cutoff = v.cutoff + v.envCutoff * std::exp(-t / v.envDecay);
      out.Add(start + i, gain * env * filter.Process(s, cutoff, v.resonance), pan);
    }
  }
}

// Two-operator FM: bells, plucks and electric-piano tones.
void FmNote(Stem& out, double midi, double at, double gain, double ratio, double index,
            double decay, double pan) {
  const size_t start = FrameAt(at);
  const int length = static_cast<int>(decay * 5 * kSampleRate);
  const double hz = NoteHz(midi);
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double mod = index * std::exp(-t / (decay * 0.4)) * std::sin(kTwoPi * hz * ratio * t);
    const double env = std::min(1.0, t / 0.002) * std::exp(-t / decay);
    out.Add(start + i, gain * env * std::sin(kTwoPi * hz * t + mod), pan);
  }
}

// --- effects ---------------------------------------------------------------

// A small Schroeder reverb: parallel damped combs, then all-pass diffusion.
void Reverb(std::vector<float>& signal, int spread, double feedback) {
  const std::array<int, 4> combs = {1116, 1188, 1277, 1356};
  const std::array<int, 2> passes = {556, 441};
  std::vector<float> wet(signal.size(), 0.0f);
  for (int length : combs) {
    std::vector<float> line(static_cast<size_t>(length + spread), 0.0f);
    size_t pos = 0;
    double damp = 0;
    for (size_t i = 0; i < signal.size(); ++i) {
      const float out = line[pos];
      damp = out * 0.7 + damp * 0.3;
      line[pos] = static_cast<float>(signal[i] + damp * feedback);
      wet[i] += out * 0.25f;
      if (++pos == line.size()) pos = 0;
    }
  }
  for (int length : passes) {
    std::vector<float> line(static_cast<size_t>(length + spread), 0.0f);
    size_t pos = 0;
    for (float& s : wet) {
      const float delayed = line[pos];
      const float in = s;
      line[pos] = in + delayed * 0.5f;
      s = delayed - in;
      if (++pos == line.size()) pos = 0;
    }
  }
  signal.swap(wet);
}

void PingPong(Stem& stem, double delaySeconds, double feedback) {
  const size_t d = FrameAt(delaySeconds);
  if (d == 0) return;
  for (size_t i = d; i < stem.left.size(); ++i) {
    // Each channel's echo comes back on the other side.
    const float l = stem.left[i] + static_cast<float>(stem.right[i - d] * feedback);
    const float r = stem.right[i] + static_cast<float>(stem.left[i - d] * feedback);
    stem.left[i] = l;
    stem.right[i] = r;
  }
}

// --- harmony ---------------------------------------------------------------

const std::array<int, 7> kMinor = {0, 2, 3, 5, 7, 8, 10};
const std::array<int, 7> kMajor = {0, 2, 4, 5, 7, 9, 11};

const std::array<std::array<int, 4>, 4> kMinorProgressions = {
    {{0, 5, 2, 6}, {0, 3, 4, 0}, {0, 6, 5, 6}, {0, 2, 3, 4}}};
const std::array<std::array<int, 4>, 4> kMajorProgressions = {
    {{0, 4, 5, 3}, {0, 3, 0, 4}, {0, 5, 3, 4}, {5, 3, 0, 4}}};

// Semitones above the root of scale degree d (any integer, octaves wrap).
int Degree(const std::array<int, 7>& scale, int d) {
  const int octave = (d >= 0 ? d / 7 : (d - 6) / 7);
  return scale[static_cast<size_t>(d - octave * 7)] + 12 * octave;
}

struct Arrangement {
  bool drums, hats, bass, chords, lead;
};

Arrangement SectionOf(Style style, int bar, int bars) {
  Arrangement a{true, true, true, true, true};
  if (style == Style::Ambient) {
    // Long chords first; the beat comes in after four ninths of the piece.
    a.drums = bar >= bars * 4 / 9 && bar < bars - 2;
    a.hats = bar >= bars * 8 / 27 && bar < bars - 2;
    a.bass = bar >= bars * 4 / 9 && bar < bars - 1;
    a.lead = bar >= bars * 4 / 27;
    return a;
  }
  if (style == Style::Outro) {
    a.drums = bar >= 4 && bar < bars - 3;
    a.hats = bar >= 2 && bar < bars - 2;
    a.bass = bar >= 2 && bar < bars - 1;
    a.lead = bar >= 6;
    return a;
  }
  const int mid = bars / 2;
  const bool breakdown = bar >= mid - 1 && bar < mid + 1 && bars >= 12;
  a.drums = bar >= 2 && !breakdown;
  a.hats = bar >= 1 && !breakdown;
  a.bass = bar >= 2 && !breakdown;
  a.lead = bar >= 4;
  return a;
}

// A two-bar melodic motif of chord-tone steps (-1 = rest) that the lead repeats.
std::array<int, 2 * kStepsPerBar> MakeMotif(Rng& rng, double density) {
  std::array<int, 2 * kStepsPerBar> motif{};
  int tone = 2;
  for (int s = 0; s < 2 * kStepsPerBar; ++s) {
    const double weight = (s % 4 == 0) ? 1.0 : (s % 2 == 0 ? 0.6 : 0.3);
    if (rng.Uniform() < density * weight) {
      tone = std::clamp(tone + rng.Below(5) - 2, 0, 7);
      motif[s] = tone;
    } else {
      motif[s] = -1;
    }
  }
  motif[0] = 0;
  return motif;
}

struct Band {
  Stem drums, bass, chords, lead, send;
  explicit Band(size_t frames) : drums(frames), bass(frames), chords(frames), lead(frames), send(frames) {}
};

}  // namespace

Stereo RenderSong(const SongSpec& spec) {
  Rng rng(spec.seed * 2654435761u + 12345u);
  const double beat = 60.0 / spec.bpm;
  const double step = beat / 4.0;
  const double barLength = beat * 4.0;
  const int bars = std::max(4, static_cast<int>(std::lround((spec.seconds - 2.0) / barLength)));
  const double length = bars * barLength + 2.0;
  const size_t frames = FrameAt(length);
  Band band(frames);

  const auto& scale = spec.minor ? kMinor : kMajor;
  const auto& progression = spec.minor ? kMinorProgressions[spec.progression % 4]
                                       : kMajorProgressions[spec.progression % 4];
  const auto motif = MakeMotif(rng, spec.style == Style::Chip ? 0.8 : 0.55);
  const double swing = (spec.style == Style::Downtempo || spec.style == Style::Outro) ? 0.18 : 0.0;
  auto stepTime = [&](int bar, int s) {
    return bar * barLength + s * step + ((s % 2 == 1) ? swing * step : 0.0);
  };

  // Voices of this style.
  Voice bass, pad, lead;
  bass.pan = 0;
  pad.wave = Wave::Saw;
  pad.unison = 3;
  pad.detuneCents = 14;
  pad.attack = 0.25;
  pad.release = 0.4;
  pad.cutoff = 1400;
  pad.envCutoff = 600;
  pad.envDecay = 1.0;
  pad.resonance = 0.2;
  pad.gain = 0.11;
  lead.wave = Wave::Square;
  lead.cutoff = 2500;
  lead.envCutoff = 3000;
  lead.envDecay = 0.15;
  lead.gain = 0.13;
  lead.pan = 0.25;
  switch (spec.style) {
    case Style::House: bass.wave = Wave::Saw; bass.cutoff = 300; bass.envCutoff = 1200; break;
    case Style::Electro: bass.wave = Wave::Square; bass.cutoff = 350; bass.envCutoff = 1800; bass.resonance = 0.7; break;
    case Style::Trance: bass.wave = Wave::Saw; bass.cutoff = 250; bass.envCutoff = 900; pad.unison = 5; pad.detuneCents = 22; lead.wave = Wave::Saw; break;
    case Style::Downtempo: bass.wave = Wave::Sine; bass.cutoff = 500; bass.envCutoff = 200; break;
    case Style::Chip: bass.wave = Wave::Pulse25; bass.cutoff = 3000; bass.envCutoff = 0; bass.resonance = 0; lead.wave = Wave::Pulse25; lead.cutoff = 6000; pad.wave = Wave::Square; pad.unison = 1; pad.gain = 0.05; break;
    case Style::DrumAndBass: bass.wave = Wave::Reese; bass.cutoff = 380; bass.envCutoff = 300; bass.envDecay = 0.5; break;
    case Style::Synthwave: bass.wave = Wave::Saw; bass.cutoff = 400; bass.envCutoff = 1500; lead.wave = Wave::Saw; lead.unison = 2; lead.detuneCents = 10; break;
    case Style::Ambient: case Style::Outro: bass.wave = Wave::Sine; bass.cutoff = 400; bass.envCutoff = 150; pad.cutoff = 900; pad.envCutoff = 1200; pad.envDecay = 2.5; pad.attack = 0.8; pad.release = 1.5; break;
  }
  bass.gain = 0.42;
  bass.release = 0.02;

  std::vector<double> kickTimes;
  for (int bar = 0; bar < bars; ++bar) {
    const Arrangement a = SectionOf(spec.style, bar, bars);
    const int chordDegree = progression[static_cast<size_t>(bar % 4)];
    const int root = spec.root + Degree(scale, chordDegree);
    const bool lastOfFour = bar % 4 == 3;

    // Drums.
    for (int s = 0; s < kStepsPerBar; ++s) {
      const double t = stepTime(bar, s);
      bool kick = false, snare = false, clap = false;
      switch (spec.style) {
        case Style::House: case Style::Trance: case Style::Ambient:
          kick = s % 4 == 0; clap = s == 4 || s == 12; break;
        case Style::Electro: kick = s == 0 || s == 6 || s == 10; snare = s == 4 || s == 12; break;
        case Style::Downtempo: case Style::Outro:
          kick = s == 0 || s == 7 || s == 10; snare = s == 4 || s == 12; break;
        case Style::Chip: kick = s == 0 || s == 8 || (lastOfFour && s == 14); snare = s == 4 || s == 12; break;
        case Style::DrumAndBass: kick = s == 0 || s == 10; snare = s == 4 || s == 12; break;
        case Style::Synthwave: kick = s % 4 == 0; snare = s == 4 || s == 12; break;
      }
      if (a.drums) {
        if (kick) {
          Kick(band.drums, t, 0.9, spec.style == Style::Chip ? 60.0 : 48.0);
          kickTimes.push_back(t);
        }
        if (snare) Snare(band.drums, rng, t, spec.style == Style::Synthwave ? 0.5 : 0.42,
                         spec.style == Style::Synthwave ? 0.16 : 0.1);
        if (clap) Clap(band.drums, rng, t, 0.5);
        if (snare && spec.style == Style::Synthwave) Snare(band.send, rng, t, 0.25, 0.16);
        if (lastOfFour && s >= 12 && spec.style != Style::Downtempo && spec.style != Style::Outro)
          Snare(band.drums, rng, t, 0.12 + 0.05 * (s - 12), 0.06);  // fill into the next phrase
      }
      if (a.hats) {
        const bool offbeat = s % 4 == 2;
        if (offbeat && (spec.style == Style::House || spec.style == Style::Trance))
          HiHat(band.drums, rng, t, 0.22, 0.09, 0.3);
        else if (spec.style == Style::Electro || spec.style == Style::DrumAndBass ||
                 spec.style == Style::Chip)
          HiHat(band.drums, rng, t, (s % 2 == 0) ? 0.16 : 0.09, 0.025, -0.3);
        else if (s % 2 == 0)
          HiHat(band.drums, rng, t, (s % 4 == 2) ? 0.16 : 0.1, 0.03, -0.25);
      }
    }

    // Chords: long pads, or stabs for house.
    if (a.chords) {
      std::array<double, 4> notes{};
      for (int k = 0; k < 3; ++k) notes[k] = spec.root + 24 + Degree(scale, chordDegree + 2 * k);
      notes[3] = spec.root + 36 + Degree(scale, chordDegree);
      if (spec.style == Style::House) {
        for (int s : {3, 6, 11, 14})
          for (double n : notes) {
            Voice stab = pad;
            stab.attack = 0.005; stab.release = 0.08; stab.unison = 2; stab.gain = 0.12;
            stab.cutoff = 900; stab.envCutoff = 2500; stab.envDecay = 0.08;
            PlayNote(band.chords, stab, n, stepTime(bar, s), step * 1.5);
          }
      } else {
        for (size_t k = 0; k < 3; ++k) PlayNote(band.chords, pad, notes[k], bar * barLength, barLength * 0.98);
      }
      if (spec.style == Style::Ambient || spec.style == Style::Outro || spec.style == Style::Downtempo)
        for (size_t k = 0; k < 3; ++k) PlayNote(band.send, pad, notes[k], bar * barLength, barLength * 0.9);
    }

    // Bass line.
    if (a.bass) {
      for (int s = 0; s < kStepsPerBar; ++s) {
        bool on = false;
        double note = root;
        double len = step * 0.8;
        switch (spec.style) {
          case Style::House: on = s % 4 == 2; note += (s == 14 && bar % 2) ? 12 : 0; break;
          case Style::Trance: on = s % 4 != 0; break;
          case Style::Electro: on = ((0xB6D5u >> s) & 1) != 0; note += (s % 8 == 7) ? 12 : 0; break;
          case Style::Chip: on = s % 2 == 0; note += (s % 4 == 2) ? 12 : 0; len = step * 1.6; break;
          case Style::Synthwave: on = s % 2 == 0; note += (s % 8 == 6) ? 12 : 0; len = step * 1.5; break;
          case Style::Downtempo: case Style::Outro: case Style::Ambient:
            on = s == 0 || s == 10; len = s == 0 ? step * 9 : step * 5; break;
          case Style::DrumAndBass: on = s == 0 || s == 8; len = step * 7.5; break;
        }
        if (on) PlayNote(band.bass, bass, note, stepTime(bar, s), len);
      }
    }

    // Lead: the motif over the chord, an arpeggio for trance and chip.
    if (a.lead) {
      const bool arp = spec.style == Style::Trance || spec.style == Style::Chip ||
                       spec.style == Style::Ambient;
      for (int s = 0; s < kStepsPerBar; ++s) {
        const double t = stepTime(bar, s);
        if (arp) {
          if (spec.style == Style::Ambient && s % 2 == 1) continue;
          static constexpr std::array<int, 8> up = {0, 2, 4, 7, 4, 2, 7, 9};
          const double n = spec.root + 36 + Degree(scale, chordDegree + up[static_cast<size_t>(s % 8)]);
          if (spec.style == Style::Ambient) {
            FmNote(band.lead, n + 12, t, 0.09, 3.5, 1.2, 0.6, (s % 4 == 0) ? -0.4 : 0.4);
            FmNote(band.send, n + 12, t, 0.05, 3.5, 1.2, 0.6, 0.0);
          } else {
            Voice a2 = lead;
            a2.gain = 0.09;
            a2.release = 0.03;
            PlayNote(band.lead, a2, n, t, step * 0.6);
          }
          continue;
        }
        const int m = motif[static_cast<size_t>((bar % 2) * kStepsPerBar + s)];
        if (m < 0) continue;
        // The last bar of each four answers the motif a step higher.
        const int lift = lastOfFour ? 1 : 0;
        const double n = spec.root + 36 + Degree(scale, chordDegree + m + lift);
        if (spec.style == Style::Downtempo || spec.style == Style::Outro ||
            spec.style == Style::DrumAndBass) {
          FmNote(band.lead, n, t, 0.16, 1.0, 2.5, 0.35, 0.2);
          FmNote(band.send, n, t, 0.08, 1.0, 2.5, 0.35, 0.0);
        } else {
          PlayNote(band.lead, lead, n, t, step * 1.6);
          PlayNote(band.send, lead, n, t, step * 1.0);
        }
      }
    }
  }

  // Echo on the lead, room on the send bus.
  PingPong(band.lead, beat * 0.75, 0.35);
  Reverb(band.send.left, 0, 0.84);
  Reverb(band.send.right, 23, 0.84);

  // Mix with the pads and bass ducking under each kick.
  Stereo mix;
  mix.left.assign(frames, 0.0f);
  mix.right.assign(frames, 0.0f);
  size_t nextKick = 0;
  double lastKick = -10.0;
  const double duckDepth = (spec.style == Style::Downtempo || spec.style == Style::Outro) ? 0.2 : 0.55;
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    while (nextKick < kickTimes.size() && kickTimes[nextKick] <= t) lastKick = kickTimes[nextKick++];
    const double duck = 1.0 - duckDepth * std::exp(-(t - lastKick) / 0.11);
    mix.left[i] = static_cast<float>(band.drums.left[i] + duck * (band.bass.left[i] + band.chords.left[i]) +
                                     band.lead.left[i] + 0.35 * band.send.left[i]);
    mix.right[i] = static_cast<float>(band.drums.right[i] + duck * (band.bass.right[i] + band.chords.right[i]) +
                                      band.lead.right[i] + 0.35 * band.send.right[i]);
  }

  // Loudness to a common level, gentle limiting, and fades at both ends.
  double energy = 0;
  for (size_t i = 0; i < frames; ++i) energy += mix.left[i] * mix.left[i] + mix.right[i] * mix.right[i];
  const double rms = std::sqrt(energy / (2.0 * static_cast<double>(frames)));
  const double gain = rms > 0 ? 0.2 / rms : 1.0;
  const double fadeOut = spec.style == Style::Outro ? 6.0 : 3.0;
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    double fade = std::min(1.0, t / 0.02);
    if (t > length - fadeOut) fade *= std::max(0.0, (length - t) / fadeOut);
    mix.left[i] = static_cast<float>(std::tanh(mix.left[i] * gain) * 0.95 * fade);
    mix.right[i] = static_cast<float>(std::tanh(mix.right[i] * gain) * 0.95 * fade);
  }
  return mix;
}

}  // namespace mkdemo
