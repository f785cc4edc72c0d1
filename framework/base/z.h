// Compressed blocks: a small self-describing header in front of a zlib
// stream, plus the CRC-32 and Adler-32 checksums of buffers.
#pragma once
#include <cstdint>

// Block layout (little-endian, no padding):
//   u32 unpacked length, u32 packed length, u32 CRC-32 of the stream,
//   then packed-length bytes of zlib stream.
#define SYS_ZBLOCK_HEADER 12u

struct SYS_ZBlock {
  uint32_t unpackedLength;
  uint32_t packedLength;
  uint32_t crc32;
  // the zlib stream follows
};

// Compresses length bytes into a new tracked block (header and stream) and
// stores it and its total length; 0, or -1 with code 10, 5 or 8.
int SYS_ZCompress(const void* source, uint32_t length, void** result, uint32_t* resultLength);
// Unpacks a block of which blockLength bytes are at hand (the packed length
// field is never trusted beyond them) into a new tracked buffer; 0, or -1
// with code 10, 5 or 8. An unpacked length that no zlib stream of the packed
// length can reach fails with code 8 before anything is allocated.
int SYS_ZUncompress(const void* block, uint64_t blockLength, void** result, uint32_t* resultLength);
// Sets the process-wide compression level (0 to 9, initially 9); 0, or -1
// with code 6 and the level unchanged.
int SYS_ZSetCompLevel(int level);
// The checksums of length bytes, or -1 with code 10 for a null buffer or a
// length of 0.
int64_t SYS_ZCrc32(const void* buffer, uint32_t length);
int64_t SYS_ZAdler(const void* buffer, uint32_t length);

// The output room SYS_ZCompress reserves for a source of the given length.
uint64_t SYS_ZCompressRoom(uint32_t length);
