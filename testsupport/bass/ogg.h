// Test helper: short Ogg Vorbis images made in memory with libvorbisenc.
#pragma once
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <vector>

namespace bass_test {

// Encodes `frames` frames; sample(frame, channel) gives each value in
// [-1, 1]. Quality 0.6 keeps tones clean enough for spectrum checks.
inline std::vector<uint8_t> EncodeOgg(int channels, long rate, long frames,
                                      const std::function<float(long, int)>& sample) {
  std::vector<uint8_t> out;
  auto append = [&out](const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
  };
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, 0.6f) != 0) {
    vorbis_info_clear(&vi);
    return out;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block vb;
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1);
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  ogg_page page;
  while (ogg_stream_flush(&os, &page) != 0) append(page);

  constexpr long kBlock = 1024;
  for (long at = 0;; at += kBlock) {
    const long n = std::min(kBlock, frames - at);
    if (n <= 0) {
      vorbis_analysis_wrote(&vd, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      for (long i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c) buffer[c][i] = sample(at + i, c);
      vorbis_analysis_wrote(&vd, static_cast<int>(n));
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet) != 0) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page) != 0) append(page);
      }
    }
    if (n <= 0) break;
  }
  while (ogg_stream_flush(&os, &page) != 0) append(page);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

// A sine of `hz` with amplitude `left` on the left and `right` on the right.
inline std::vector<uint8_t> StereoTone(double seconds, double hz, float left, float right,
                                       long rate = 44100) {
  const long frames = std::lround(seconds * static_cast<double>(rate));
  return EncodeOgg(2, rate, frames, [=](long i, int c) {
    const double v = std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate);
    return static_cast<float>(v) * (c == 0 ? left : right);
  });
}

}  // namespace bass_test
