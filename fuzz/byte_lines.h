// Fuzz input served as a text file's lines, for readers that take a line
// source instead of an open file.
#pragma once
#include <cstddef>
#include <cstdint>

struct FuzzBytes {
  const uint8_t* data;
  size_t size, at;
};

// fgets over the bytes: up to length - 1 bytes or through the line feed,
// which stays; null once the bytes are used up.
inline char* FuzzGets(void* context, char* buffer, int length) {
  auto* b = static_cast<FuzzBytes*>(context);
  if (b->at >= b->size) return nullptr;
  int n = 0;
  while (n < length - 1 && b->at < b->size) {
    char c = static_cast<char>(b->data[b->at++]);
    buffer[n++] = c;
    if (c == '\n') break;
  }
  buffer[n] = 0;
  return buffer;
}
