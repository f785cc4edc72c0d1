// Ogg Vorbis streams over the file layer: vorbisfile decodes, and reads the
// file through the framework's file layer, so a stream may come from a plain
// file, a folder mounted as a pack or the packed archive alike.
//
// Positions and sizes count bytes of the PCM output: signed 16-bit
// little-endian samples, channels interleaved (2 bytes per sample and
// channel). Every call but Vorbis_Read clears the last error on entry; a
// null stream gives code 10 and -1 (null for Vorbis_DecodeAll).
//
// A stream holds a lock around every decoder call, so the thread that plays
// a stream and the thread that asks for its position may do so at once.
//
// Where this differs from the plain description, and the fault it mends:
// - The size and Vorbis_GetSize are 64-bit: a stream of more than 2 GiB of
//   PCM, or one that claims it, would wrap to a wrong or negative size and
//   a whole decode would write past its block (crash).
// - The seek callback uses the whole 64-bit offset and refuses a target
//   before the start: cut to 32 bits it would seek to the wrong place in a
//   file past 4 GiB (plainly wrong result).
// - Vorbis_DecodeAll bounds every read by the room left in its block and
//   passes over a gap, and gives an empty stream a block of one zero byte:
//   a zero-byte block is refused, which would report out of memory for a
//   good empty stream (plainly wrong result).
// - Vorbis_TellTime gives -1 while the position is unknown: vorbisfile
//   would read its tables at index -1 (crash).
#pragma once
#include <cstdint>

#include "framework/base/file.h"
#include "framework/base/thread.h"

struct Vorbis_t {
  SYS_File_p file;          // the open file (read, binary)
  void* decoder;            // vorbisfile's OggVorbis_File
  int64_t size;             // total PCM bytes: samples per channel x channels x 2
  int32_t channels;         // from the stream header
  int32_t rate;             // Hz, from the stream header
  SYS_Thread_Mutex_p lock;  // serialises the decoder calls
};

// Opens a stream; null with code 5 (out of memory) or 1 (no such file, or
// not Ogg Vorbis). A failed open leaves no file open and no block taken.
Vorbis_t* Vorbis_Open(const char* name);
// Closes the file and frees the stream; 0, or -1 for null.
int Vorbis_Close(Vorbis_t* stream);
// One decoder read into `buffer` (at most `length` bytes): the bytes
// decoded, 0 at the end of the stream, negative for a decoding error (a gap
// in the data gives OV_HOLE and the next read goes on after it).
int32_t Vorbis_Read(Vorbis_t* stream, void* buffer, int32_t length);
// All PCM from the current position on, in a new tracked block of `size`
// bytes (zero past what could be decoded). Null with code 5 (or 10).
void* Vorbis_DecodeAll(Vorbis_t* stream);
// Decoder position in PCM bytes, and in seconds; -1 while it is unknown
// (after a seek or read that the decoder could not finish).
int64_t Vorbis_Tell(Vorbis_t* stream);
double Vorbis_TellTime(Vorbis_t* stream);
// Total PCM bytes of the stream.
int64_t Vorbis_GetSize(Vorbis_t* stream);
// Seek to a PCM byte position (sample = position / channels / 2, cut toward
// zero) or to a time in milliseconds; vorbisfile's result (0 on success).
int Vorbis_Seek(Vorbis_t* stream, int64_t position);
int Vorbis_SeekTime(Vorbis_t* stream, int32_t milliseconds);
