// An in-memory file store behind the loader's five callbacks, for tests: a
// name maps to its bytes, and every call is counted.
#pragma once
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/tl/TL.h"

namespace tlfix {

struct MemFiles {
  std::map<std::string, std::vector<uint8_t>> files;
  std::string open;
  bool isOpen = false;
  int opens = 0, reads = 0, closes = 0;
  std::vector<std::string> asked;  // every name given to open
};

inline MemFiles& Store() {
  static MemFiles store;
  return store;
}

inline int MemOpen(const char* name) {
  MemFiles& s = Store();
  s.opens++;
  s.asked.push_back(name ? name : "");
  if (!name || !s.files.count(name)) {
    errSetLastError(ERR_NOTFOUND);
    return -1;
  }
  s.open = name;
  s.isOpen = true;
  return 0;
}

inline uint8_t* MemRead() {
  MemFiles& s = Store();
  s.reads++;
  const auto& bytes = s.files[s.open];
  auto* p = bytes.empty() ? nullptr : static_cast<uint8_t*>(SYS_MemGet(bytes.size()));
  if (!p) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  std::memcpy(p, bytes.data(), bytes.size());
  return p;
}

inline int64_t MemSize() { return static_cast<int64_t>(Store().files[Store().open].size()); }

inline int MemClose() {
  Store().closes++;
  Store().isOpen = false;
  return 0;
}

inline int64_t MemExist(const char* name) {
  auto it = Store().files.find(name ? name : "");
  return it == Store().files.end() ? -1 : static_cast<int64_t>(it->second.size());
}

// Installs the store (emptied) as the loader's file access.
inline MemFiles& UseMemFiles() {
  Store() = MemFiles{};
  static const txFunctions fns = {MemOpen, MemRead, MemSize, MemClose, MemExist};
  txInit(&fns);
  return Store();
}

}  // namespace tlfix

namespace tlfix {

// The tracked blocks alive now, one "file:line -> n bytes" entry each.
inline std::vector<std::string> TrackedBlocks() {
  char path[] = "/tmp/tlblocksXXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return {"mkstemp failed"};
  close(fd);
  SYS_MemInfo(path);
  std::vector<std::string> blocks;
  if (FILE* f = std::fopen(path, "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, f))
      if (std::strstr(line, " bytes\n") && std::strncmp(line, "Total:", 6) != 0) blocks.push_back(line);
    std::fclose(f);
  }
  std::remove(path);
  return blocks;
}

// A bitmap whose levels (each half the size of the one before, at least 1 x 1)
// are tracked blocks of exactly the bytes they hold, so an upload that reads
// past a level is caught by the address sanitizer. DXT levels take 8 bytes
// per 4 x 4 block.
inline txBitmap* TrackedLevels(int32_t width, int32_t height, int32_t bits, int32_t subtype, int32_t levels,
                               int32_t type) {
  txBitmap* b = txNewBitmap();
  b->type = type;
  b->subtype = subtype;
  b->width = width;
  b->height = height;
  b->bits = bits;
  b->levels = levels;
  int32_t w = width, h = height;
  for (int i = 0; i < levels; ++i) {
    int64_t bytes = type == TX_TYPE_COMPRESSED ? 8 * int64_t((w + 3) / 4) * ((h + 3) / 4) : int64_t(w) * h * (bits / 8);
    b->sizes[i] = static_cast<int32_t>(bytes);
    b->data[i] = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(bytes)));
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  return b;
}

}  // namespace tlfix
