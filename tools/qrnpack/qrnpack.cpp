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
#include <span>
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

  SYS_ByteWriter catalogue;
  for (const Entry& e : entries)
    SYS_PackWriteRecord(catalogue, {static_cast<uint32_t>(e.stored.size()), e.offset,
                                    static_cast<uint8_t>(e.compressed ? SYS_PACK_COMPRESSED : 0), e.name});
  std::string block;
  if (catalogue.size() > 0) {
    const std::vector<uint8_t>& records = catalogue.data();
    std::optional<std::string> packed = Compress(std::string(records.begin(), records.end()));
    if (!packed) return Fail("cannot compress the catalogue");
    block = std::move(*packed);
  }
  SYS_ByteWriter header;
  SYS_PackWriteHeader(header, {static_cast<uint32_t>(entries.size()), static_cast<uint32_t>(SYS_PACK_HEADER + data.size())});
  std::string out(header.data().begin(), header.data().end());
  out += data;
  out += block;
  if (!WriteWhole(archive, out)) return Fail("cannot write " + archive);
  return 0;
}

int List(const std::string& archive) {
  std::optional<std::string> bytes = ReadWhole(archive);
  if (!bytes) return Fail("cannot read " + archive);
  const std::span<const uint8_t> file(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size());
  SYS_PackHeader_t header{};
  if (SYS_PackFault_t fault = SYS_PackReadHeader(file, file.size(), header))
    return Fail(archive + ": " + SYS_PackFaultText(fault));
  if (header.count == 0) return 0;
  void* unpacked = nullptr;
  uint32_t length = 0;
  const std::span<const uint8_t> block = file.subspan(header.catalogueOffset);
  if (SYS_ZUncompress(block.data(), block.size(), &unpacked, &length) != 0) return Fail("damaged catalogue");
  SYS_PackCatalogueReader reader({static_cast<const uint8_t*>(unpacked), length}, header.count, file.size());
  SYS_PackRecord_t record;
  while (reader.Next(record)) {
    const bool compressed = record.flags & SYS_PACK_COMPRESSED;
    uint32_t real = record.storedSize;
    if (compressed) SYS_ByteReader::U32At(file, record.dataOffset, real);
    std::printf("%10u %10u %c %.*s\n", real, record.storedSize, compressed ? 'z' : '-',
                static_cast<int>(record.name.size()), record.name.data());
  }
  const int status = reader.fault() ? Fail(std::string(SYS_PackFaultText(reader.fault())) +
                                           (reader.fault() == SYS_PACK_ENTRY_OUTSIDE ? ": " + std::string(record.name)
                                                                                      : std::string()))
                                    : 0;
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
