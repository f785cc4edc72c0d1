// qrnpack: the archive packer. The framework only reads archives; this tool
// writes them.
//
//   qrnpack ARCHIVE FOLDER   packs every file below FOLDER, named by its path
//                            inside FOLDER with "\" between folder names, in
//                            byte order of the names; an entry is stored
//                            compressed unless that does not make it smaller
//                            or the file is empty
//   qrnpack -l ARCHIVE       lists the entries, one line each:
//                            real size, stored size, "z" (compressed) or "-",
//                            name
//   qrnpack -z FILE BLOCK    writes FILE as one compressed block
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "framework/base/file-pack.h"
#include "framework/base/mem.h"
#include "framework/base/z.h"

namespace fs = std::filesystem;

namespace {

struct Entry {
  std::string name;
  std::string stored;
  bool compressed = false;
  uint32_t offset = 0;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "qrnpack: %s\n", message.c_str());
  return 1;
}

std::optional<std::string> ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return data;
}

bool WriteWhole(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  out.close();
  return static_cast<bool>(out);
}

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}
uint32_t GetU32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::optional<std::string> Compress(const std::string& data) {
  void* block = nullptr;
  uint32_t length = 0;
  if (SYS_ZCompress(data.data(), static_cast<uint32_t>(data.size()), &block, &length) != 0) return std::nullopt;
  std::string out(static_cast<const char*>(block), length);
  SYS_MemFree(block);
  return out;
}

// The files below root, as the directory handler names them: links to files
// count, links to folders are not followed.
void Collect(const fs::path& root, const fs::path& folder, const std::string& prefix, std::vector<std::string>& names,
             std::error_code& error) {
  std::vector<fs::directory_entry> children;
  for (const auto& e : fs::directory_iterator(folder, error)) children.push_back(e);
  if (error) return;
  std::sort(children.begin(), children.end(),
            [](const auto& a, const auto& b) { return a.path().filename().string() < b.path().filename().string(); });
  for (const auto& e : children) {
    const std::string name = prefix + e.path().filename().string();
    if (e.is_directory() && !e.is_symlink()) {
      Collect(root, e.path(), name + "\\", names, error);
      if (error) return;
    } else if (e.is_regular_file()) {
      names.push_back(name);
    }
  }
}

int Pack(const std::string& archive, const std::string& folder) {
  std::error_code error;
  std::vector<std::string> names;
  Collect(folder, folder, "", names, error);
  if (error) return Fail("cannot list " + folder + ": " + error.message());
  std::sort(names.begin(), names.end());

  std::vector<Entry> entries;
  std::string data;
  for (const std::string& name : names) {
    std::string relative = name;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const fs::path path = fs::path(folder) / relative;
    if (fs::exists(archive) && fs::equivalent(path, archive, error)) continue;  // never pack the archive itself
    std::optional<std::string> bytes = ReadWhole(path);
    if (!bytes) return Fail("cannot read " + path.string());
    if (bytes->size() > UINT32_MAX) return Fail(path.string() + " is larger than 4 GiB");
    if (name.size() > 0xFFFF) return Fail("name too long: " + name);
    Entry entry{name, *bytes, false, 0};
    if (!bytes->empty()) {
      std::optional<std::string> block = Compress(*bytes);
      if (!block) return Fail("cannot compress " + path.string());
      if (block->size() < bytes->size()) {
        entry.stored = std::move(*block);
        entry.compressed = true;
      }
    }
    const uint64_t offset = SYS_PACK_HEADER + uint64_t(data.size());
    if (offset + entry.stored.size() > UINT32_MAX) return Fail("archive larger than 4 GiB");
    entry.offset = static_cast<uint32_t>(offset);
    data += entry.stored;
    entries.push_back(std::move(entry));
  }

  std::string catalogue;
  for (const Entry& e : entries) {
    PutU32(catalogue, static_cast<uint32_t>(e.stored.size()));
    PutU32(catalogue, e.offset);
    catalogue.push_back(e.compressed ? SYS_PACK_COMPRESSED : 0);
    catalogue.push_back(static_cast<char>(e.name.size() & 0xFF));
    catalogue.push_back(static_cast<char>(e.name.size() >> 8));
    catalogue += e.name;
  }
  std::string block;
  if (!catalogue.empty()) {
    std::optional<std::string> packed = Compress(catalogue);
    if (!packed) return Fail("cannot compress the catalogue");
    block = std::move(*packed);
  }
  std::string out = SYS_PACK_MAGIC;
  PutU32(out, static_cast<uint32_t>(entries.size()));
  PutU32(out, static_cast<uint32_t>(SYS_PACK_HEADER + data.size()));
  out += data;
  out += block;
  if (!WriteWhole(archive, out)) return Fail("cannot write " + archive);
  return 0;
}

int List(const std::string& archive) {
  std::optional<std::string> bytes = ReadWhole(archive);
  if (!bytes) return Fail("cannot read " + archive);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes->data());
  const uint64_t size = bytes->size();
  if (size < SYS_PACK_HEADER || std::memcmp(p, SYS_PACK_MAGIC, 4) != 0) return Fail(archive + " is no archive");
  const uint32_t count = GetU32(p + 4);
  const uint32_t catalogueOffset = GetU32(p + 8);
  if (catalogueOffset < SYS_PACK_HEADER || catalogueOffset > size) return Fail("catalogue outside the file");
  if (count == 0) return 0;
  void* unpacked = nullptr;
  uint32_t length = 0;
  if (SYS_ZUncompress(p + catalogueOffset, size - catalogueOffset, &unpacked, &length) != 0)
    return Fail("damaged catalogue");
  const auto* c = static_cast<const unsigned char*>(unpacked);
  uint64_t at = 0;
  int status = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (at + SYS_PACK_RECORD > length || at + SYS_PACK_RECORD + (c[at + 9] | c[at + 10] << 8) > length) {
      status = Fail("catalogue shorter than its count");
      break;
    }
    const uint32_t stored = GetU32(c + at);
    const uint32_t offset = GetU32(c + at + 4);
    const bool compressed = c[at + 8] & SYS_PACK_COMPRESSED;
    const uint16_t nameLength = static_cast<uint16_t>(c[at + 9] | c[at + 10] << 8);
    const std::string name(reinterpret_cast<const char*>(c + at + SYS_PACK_RECORD), nameLength);
    if (uint64_t(offset) + stored > size || (compressed && stored < SYS_ZBLOCK_HEADER)) {
      status = Fail("entry outside the file: " + name);
      break;
    }
    const uint32_t real = compressed ? GetU32(p + offset) : stored;
    std::printf("%10u %10u %c %s\n", real, stored, compressed ? 'z' : '-', name.c_str());
    at += SYS_PACK_RECORD + nameLength;
  }
  SYS_MemFree(unpacked);
  return status;
}

int Block(const std::string& file, const std::string& blockFile) {
  std::optional<std::string> bytes = ReadWhole(file);
  if (!bytes) return Fail("cannot read " + file);
  if (bytes->empty() || bytes->size() > UINT32_MAX) return Fail("a block holds 1 byte to 4 GiB");
  std::optional<std::string> block = Compress(*bytes);
  if (!block) return Fail("cannot compress " + file);
  if (!WriteWhole(blockFile, *block)) return Fail("cannot write " + blockFile);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: qrnpack ARCHIVE FOLDER   pack every file of FOLDER\n"
               "       qrnpack -l ARCHIVE       list the entries (real size, stored size, z/-, name)\n"
               "       qrnpack -z FILE BLOCK    write FILE as one compressed block\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "-l") == 0) return List(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "-z") == 0) return Block(argv[2], argv[3]);
  if (argc == 3 && argv[1][0] != '-') return Pack(argv[1], argv[2]);
  return Usage();
}
