// Ogg Vorbis encoding of the synthesized pieces through libvorbisenc.
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "tools/mkdemo/synth.h"

namespace mkdemo {
namespace {

bool WritePage(FILE* f, const ogg_page& page) {
  return std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), f) ==
             static_cast<size_t>(page.header_len) &&
         std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), f) ==
             static_cast<size_t>(page.body_len);
}

// Owns the encoder's state so every exit path releases it.
struct Encoder {
  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  vorbis_block block;
  ogg_stream_state stream;
  bool started = false;
  Encoder() {
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
  }
  ~Encoder() {
    if (started) {
      ogg_stream_clear(&stream);
      vorbis_block_clear(&block);
      vorbis_dsp_clear(&dsp);
    }
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }
};

}  // namespace

bool WriteOggVorbis(const std::string& path, const Stereo& audio, float quality, int serial,
                    const std::string& artist, const std::string& title) {
  Encoder enc;
  if (vorbis_encode_init_vbr(&enc.info, 2, kSampleRate, quality) != 0) return false;
  vorbis_comment_add_tag(&enc.comment, "ARTIST", artist.c_str());
  vorbis_comment_add_tag(&enc.comment, "TITLE", title.c_str());
  vorbis_comment_add_tag(&enc.comment, "ALBUM", "Zentrove Remix Competition 2");
  if (vorbis_analysis_init(&enc.dsp, &enc.info) != 0) return false;
  vorbis_block_init(&enc.dsp, &enc.block);
  ogg_stream_init(&enc.stream, serial);
  enc.started = true;

  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) return false;

  ogg_packet header, headerComment, headerCode;
  vorbis_analysis_headerout(&enc.dsp, &enc.comment, &header, &headerComment, &headerCode);
  ogg_stream_packetin(&enc.stream, &header);
  ogg_stream_packetin(&enc.stream, &headerComment);
  ogg_stream_packetin(&enc.stream, &headerCode);
  ogg_page page;
  while (ogg_stream_flush(&enc.stream, &page) != 0)
    if (!WritePage(file.get(), page)) return false;

  constexpr size_t kChunk = 4096;
  size_t done = 0;
  bool ended = false;
  while (!ended) {
    const size_t n = std::min(kChunk, audio.frames() - done);
    float** buffer = vorbis_analysis_buffer(&enc.dsp, static_cast<int>(kChunk));
    for (size_t i = 0; i < n; ++i) {
      buffer[0][i] = audio.left[done + i];
      buffer[1][i] = audio.right[done + i];
    }
    done += n;
    vorbis_analysis_wrote(&enc.dsp, static_cast<int>(n));  // 0 marks the end
    while (vorbis_analysis_blockout(&enc.dsp, &enc.block) == 1) {
      vorbis_analysis(&enc.block, nullptr);
      vorbis_bitrate_addblock(&enc.block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&enc.dsp, &packet) == 1) {
        ogg_stream_packetin(&enc.stream, &packet);
        while (ogg_stream_pageout(&enc.stream, &page) != 0) {
          if (!WritePage(file.get(), page)) return false;
          if (ogg_page_eos(&page)) ended = true;
        }
      }
    }
    if (n == 0 && !ended) {
      // The end-of-stream packet has been handed over; flush what is left.
      while (ogg_stream_flush(&enc.stream, &page) != 0)
        if (!WritePage(file.get(), page)) return false;
      ended = true;
    }
  }
  return true;
}

}  // namespace mkdemo
