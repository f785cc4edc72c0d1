// Test-side writer of packed archives, so that the tests can build every
// archive they mount, good or damaged.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/base/file-pack.h"
#include "framework/base/mem.h"
#include "framework/base/z.h"

namespace packtest {

struct Item {
  std::string name;
  std::string data;
  bool compress = false;
};

struct Record {
  uint32_t stored = 0;
  uint32_t offset = 0;
  uint8_t flags = 0;
  std::string name;
};

inline void SetU32(std::string& out, size_t at, uint32_t v) {
  SYS_ByteWriter::PutU32(reinterpret_cast<uint8_t*>(out.data()) + at, v);
}

// One compressed block of the bytes, made by the framework's compressor.
inline std::string Block(const std::string& data) {
  void* block = nullptr;
  uint32_t length = 0;
  if (SYS_ZCompress(data.data(), static_cast<uint32_t>(data.size()), &block, &length) != 0) return {};
  std::string out(static_cast<const char*>(block), length);
  SYS_MemFree(block);
  return out;
}

// The records as the archive module's own writer lays them out.
inline std::string Catalogue(const std::vector<Record>& records) {
  SYS_ByteWriter out;
  for (const Record& r : records) SYS_PackWriteRecord(out, {r.stored, r.offset, r.flags, r.name});
  return std::string(out.data().begin(), out.data().end());
}

// Changes applied before the archive is put together: to the records, to
// the count, to the unpacked catalogue, and to the catalogue block.
struct Tweaks {
  std::function<void(std::vector<Record>&)> records = {};
  std::function<void(uint32_t&)> count = {};
  std::function<void(std::string&)> catalogue = {};
  std::function<void(std::string&)> block = {};
};

// "QRNP", count, catalogue offset, the entries' bytes, the catalogue block.
inline std::string Archive(const std::vector<Item>& items, const Tweaks& tweaks = {}) {
  std::string data;
  std::vector<Record> records;
  for (const Item& item : items) {
    std::string stored = item.compress ? Block(item.data) : item.data;
    records.push_back({static_cast<uint32_t>(stored.size()), static_cast<uint32_t>(12 + data.size()),
                       static_cast<uint8_t>(item.compress ? 1 : 0), item.name});
    data += stored;
  }
  if (tweaks.records) tweaks.records(records);
  uint32_t count = static_cast<uint32_t>(records.size());
  if (tweaks.count) tweaks.count(count);
  std::string catalogue = Catalogue(records);
  if (tweaks.catalogue) tweaks.catalogue(catalogue);
  std::string block = catalogue.empty() ? std::string() : Block(catalogue);
  if (tweaks.block) tweaks.block(block);
  SYS_ByteWriter header;
  SYS_PackWriteHeader(header, {count, static_cast<uint32_t>(SYS_PACK_HEADER + data.size())});
  return std::string(header.data().begin(), header.data().end()) + data + block;
}

}  // namespace packtest
