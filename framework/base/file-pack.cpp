// The archive handler: packed archives mounted as packs. A mount reads the
// header and the catalogue and nothing else; names are found through a hash
// of the catalogue. An opened compressed entry is unpacked whole (so that a
// damaged one fails at its open); a plain one is read straight from the
// archive into the caller's buffer. Reads never move the archive's stream.
#include "framework/base/file-pack.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/str.h"
#include "framework/base/z.h"
#include "platform/files.h"

#define FILE_PACK_LOG(level, ...) SYS_LOG_TAGGED(level, "[file-pack]", __VA_ARGS__)
#define FILE_PACK_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[file-pack]", fn, __VA_ARGS__)

const SYS_FileHandler_t SYS_FileHandlerPack = {
    "Pack handler",      SYS_FilePackOpen_pack, SYS_FileOpen_pack,  SYS_FileSeek_pack, SYS_FileRead_pack,
    SYS_FileGetStr_pack, SYS_FilePutStr_pack,   SYS_FileWrite_pack, SYS_FileEof_pack,  SYS_FileTell_pack,
    SYS_FileClose_pack,  SYS_FileExist_pack,    SYS_FileSize_pack,
};

// --- the codec ----------------------------------------------------------------

const char* SYS_PackFaultText(SYS_PackFault_t fault) {
  switch (fault) {
    case SYS_PACK_SOUND: return "sound";
    case SYS_PACK_NOT_ARCHIVE: return "not an archive";
    case SYS_PACK_BAD_CATALOGUE: return "bad catalogue";
    case SYS_PACK_ENTRY_OUTSIDE: return "entry outside the file";
  }
  return "bad catalogue";
}

SYS_PackFault_t SYS_PackReadHeader(std::span<const uint8_t> head, uint64_t fileSize, SYS_PackHeader_t& header) {
  SYS_ByteReader r(head);
  r.expect(SYS_PACK_MAGIC);
  header.count = r.u32();
  header.catalogueOffset = r.u32();
  if (!r.ok()) return SYS_PACK_NOT_ARCHIVE;
  if (header.catalogueOffset < SYS_PACK_HEADER || header.catalogueOffset > fileSize) return SYS_PACK_BAD_CATALOGUE;
  return SYS_PACK_SOUND;
}

SYS_PackCatalogueReader::SYS_PackCatalogueReader(std::span<const uint8_t> catalogue, uint32_t count,
                                                 uint64_t fileSize)
    : reader_(catalogue), count_(count), fileSize_(fileSize) {
  // Every record takes at least its fixed part: an absurd count is refused
  // before anyone sizes a table by it.
  if (uint64_t(count) * SYS_PACK_RECORD > catalogue.size()) fault_ = SYS_PACK_BAD_CATALOGUE;
}

bool SYS_PackCatalogueReader::Next(SYS_PackRecord_t& record) {
  if (fault_ != SYS_PACK_SOUND || done_ == count_) return false;
  record.storedSize = reader_.u32();
  record.dataOffset = reader_.u32();
  record.flags = reader_.u8();
  record.name = reader_.text(reader_.u16());
  if (!reader_.ok()) {
    fault_ = SYS_PACK_BAD_CATALOGUE;
    return false;
  }
  const bool compressed = record.flags & SYS_PACK_COMPRESSED;
  if (uint64_t(record.dataOffset) + record.storedSize > fileSize_ ||
      (compressed && record.storedSize < SYS_ZBLOCK_HEADER)) {
    fault_ = SYS_PACK_ENTRY_OUTSIDE;
    return false;
  }
  ++done_;
  return true;
}

void SYS_PackWriteHeader(SYS_ByteWriter& out, const SYS_PackHeader_t& header) {
  out.text(SYS_PACK_MAGIC);
  out.u32(header.count);
  out.u32(header.catalogueOffset);
}

void SYS_PackWriteRecord(SYS_ByteWriter& out, const SYS_PackRecord_t& record) {
  out.u32(record.storedSize);
  out.u32(record.dataOffset);
  out.u8(record.flags);
  out.u16(static_cast<uint16_t>(record.name.size()));
  out.text(record.name);
}

// --- mounted archives -----------------------------------------------------------

namespace {
// Mounted archives, newest first.
SYS_List_p packs = nullptr;

int FileDetail() { return SYS_DbgDetail(SYS_DbgSwitches.file); }

uint32_t HashName(std::string_view name) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (char c : name) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
  return h;
}

// The entry of exactly that name in one archive: the first in catalogue
// order, as a walk of the catalogue would find it.
SYS_PackEntry_t* FindIn(SYS_Pack_p pack, const char* name) {
  if (!pack->index) return nullptr;
  for (uint32_t slot = HashName(name) & pack->indexMask;; slot = (slot + 1) & pack->indexMask) {
    const uint32_t entry = pack->index[slot];
    if (entry == 0) return nullptr;
    if (std::strcmp(pack->entries[entry - 1].name, name) == 0) return &pack->entries[entry - 1];
  }
}

// Newest archive first: a name in a newer archive hides an older one's.
SYS_PackEntry_t* FindEntry(const char* name) {
  if (!name) return nullptr;
  for (SYS_List_p node = packs; node; node = node->next)
    if (SYS_PackEntry_t* entry = FindIn(static_cast<SYS_Pack_p>(node->data), name)) return entry;
  return nullptr;
}

// Small reads go through a window of the archive kept from read to read,
// as a stream's buffer would be if a seek did not throw it away: neighbouring
// small entries, and an entry's size and bytes, cost one read together.
constexpr uint32_t kWindowSize = 64 * 1024;
constexpr uint32_t kSmallRead = 16 * 1024;
constexpr uint64_t kWindowAlign = 4096;

bool ReadThroughWindow(SYS_Pack_t* pack, uint64_t offset, uint8_t* out, uint32_t length) {
  const bool inside = pack->window && offset >= pack->windowOffset &&
                      offset + length <= pack->windowOffset + pack->windowLength;
  if (!inside) {
    if (!pack->window) pack->window = static_cast<uint8_t*>(SYS_MemGet(kWindowSize));
    if (!pack->window) return false;
    const uint64_t start = offset & ~(kWindowAlign - 1);
    const int64_t got = plat::ReadAt(static_cast<FILE*>(pack->archive->handle), start, pack->window,
                                     std::min<uint64_t>(kWindowSize, pack->size - start));
    pack->windowOffset = start;
    pack->windowLength = got < 0 ? 0 : static_cast<uint32_t>(got);
    if (offset + length > start + pack->windowLength) return false;
  }
  std::memcpy(out, pack->window + (offset - pack->windowOffset), length);
  return true;
}

// Copies length bytes at offset of the archive into out; false when they
// are not all there.
bool ReadAt(SYS_Pack_t* pack, uint64_t offset, uint8_t* out, uint32_t length) {
  if (offset + length > pack->size) return false;
  if (length == 0) return true;
  if (pack->image) {
    std::memcpy(out, pack->image + offset, length);
    return true;
  }
  if (length <= kSmallRead) return ReadThroughWindow(pack, offset, out, length);
  return plat::ReadAt(static_cast<FILE*>(pack->archive->handle), offset, out, length) == int64_t(length);
}

// A compressed entry's real size is the first field of its block, read when
// first needed, so that a mount reads nothing but its catalogue.
bool EnsureSized(SYS_Pack_t* pack, SYS_PackEntry_t& entry) {
  if (entry.sized) return true;
  uint8_t field[4];
  if (!ReadAt(pack, entry.dataOffset, field, sizeof field)) return false;
  entry.realSize = SYS_ByteReader(field, sizeof field).u32();
  entry.sized = 1;
  return true;
}

void ReleasePack(SYS_Pack_p pack) {
  if (!pack) return;
  SYS_MemFree(pack->window);
  SYS_MemFree(pack->index);
  SYS_MemFree(pack->names);
  SYS_MemFree(pack->entries);
  SYS_MemFree(pack->image);
  SYS_MemFree(pack->path);
  SYS_MemFree(pack);
}

// A mount in the making: whatever it holds is released unless it is kept.
// Its log lines name the framework function that mounts (fn).
class Mount {
 public:
  Mount(const char* path, const char* fn) : path_(path), fn_(fn) {}
  ~Mount() { Release(); }
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;

  // Says in the log why the archive was refused (a user who finds an entry
  // missing looks there), releases everything, then leaves the code (the
  // releases may clear it).
  int Fail(int code, const char* reason, std::string_view entry = {}) {
    const std::string named = entry.empty() ? std::string() : ": " + std::string(entry);
    FILE_PACK_LOG_AS(SYS_DBG_WRN, fn_, " %s refused: %s%s\n", path_, reason, named.c_str());
    Release();
    errSetLastError(code);
    return -1;
  }
  int Fail(SYS_PackFault_t fault, std::string_view entry = {}) {
    return Fail(ERR_NOTARCHIVE, SYS_PackFaultText(fault), entry);
  }

  int FromFile(SYS_File_p archive);
  int FromMemory(const void* bytes, uint64_t size);

 private:
  int Header(std::span<const uint8_t> head);
  int Unpack(std::span<const uint8_t> block);
  int Build();
  bool Index();
  void Release();

  const char* path_;
  const char* fn_;
  SYS_File_p archive_ = nullptr;
  uint8_t* image_ = nullptr;
  uint64_t size_ = 0;
  SYS_PackHeader_t header_{};
  uint8_t* catalogue_ = nullptr;
  uint32_t catalogueLength_ = 0;
  SYS_Pack_p pack_ = nullptr;
};

void Mount::Release() {
  SYS_MemFree(catalogue_);
  SYS_MemFree(image_);
  ReleasePack(pack_);
  pack_ = nullptr;
  if (archive_) SYS_FileClose(archive_);
  archive_ = nullptr;
}

int Mount::Header(std::span<const uint8_t> head) {
  if (SYS_PackFault_t fault = SYS_PackReadHeader(head, size_, header_)) return Fail(fault);
  const int detail = FileDetail();
  FILE_PACK_LOG_AS(detail, fn_, " %s\n", path_);
  FILE_PACK_LOG_AS(detail, fn_, "  - number of entries: %d\n", static_cast<int>(header_.count));
  FILE_PACK_LOG_AS(detail, fn_, "  - catalog's offset: %u\n", header_.catalogueOffset);
  return 0;
}

int Mount::Unpack(std::span<const uint8_t> block) {
  void* unpacked = nullptr;
  if (SYS_ZUncompress(block.data(), block.size(), &unpacked, &catalogueLength_) != 0)
    return Fail(errPeekLastError(), "bad catalogue (cannot be unpacked)");
  catalogue_ = static_cast<uint8_t*>(unpacked);
  return 0;
}

int Mount::FromFile(SYS_File_p archive) {
  archive_ = archive;
  size_ = archive->size < 0 ? 0 : uint64_t(archive->size);
  FILE* stream = static_cast<FILE*>(archive->handle);
  uint8_t head[SYS_PACK_HEADER];
  const int64_t got = plat::ReadAt(stream, 0, head, sizeof head);
  if (Header({head, got < 0 ? 0 : static_cast<size_t>(got)}) != 0) return -1;
  // An empty archive needs no catalogue (and an empty block cannot exist).
  if (header_.count > 0) {
    const uint64_t length = size_ - header_.catalogueOffset;
    if (length < SYS_ZBLOCK_HEADER || length > UINT32_MAX) return Fail(SYS_PACK_BAD_CATALOGUE);
    auto* packed = static_cast<uint8_t*>(SYS_MemGet(length));
    if (!packed) return Fail(ERR_NOMEM, "out of memory");
    const bool read = plat::ReadAt(stream, header_.catalogueOffset, packed, length) == int64_t(length);
    const int result = read ? Unpack({packed, static_cast<size_t>(length)}) : 0;
    SYS_ErrKeeper keep;  // the release must not clear the unpacking's code
    SYS_MemFree(packed);
    if (result != 0) return -1;
    if (!read) return Fail(SYS_PACK_BAD_CATALOGUE);
  }
  return Build();
}

int Mount::FromMemory(const void* bytes, uint64_t size) {
  size_ = size;
  const auto* from = static_cast<const uint8_t*>(bytes);
  if (Header({from, static_cast<size_t>(std::min<uint64_t>(size, SYS_PACK_HEADER))}) != 0) return -1;
  image_ = static_cast<uint8_t*>(SYS_MemGet(size));
  if (!image_) return Fail(ERR_NOMEM, "out of memory");
  std::memcpy(image_, from, size);
  if (header_.count > 0) {
    const uint64_t length = size_ - header_.catalogueOffset;
    if (length < SYS_ZBLOCK_HEADER) return Fail(SYS_PACK_BAD_CATALOGUE);
    if (Unpack({image_ + header_.catalogueOffset, static_cast<size_t>(length)}) != 0) return -1;
  }
  return Build();
}

// Fills the archive's entries from the catalogue, indexes their names and
// puts the archive in front of the list.
int Mount::Build() {
  const uint32_t count = header_.count;
  pack_ = static_cast<SYS_Pack_p>(SYS_MemGet(sizeof(SYS_Pack_t)));
  if (!pack_) return Fail(ERR_NOMEM, "out of memory");
  SYS_PackCatalogueReader reader({catalogue_, catalogueLength_}, count, size_);
  if (reader.fault()) return Fail(reader.fault());
  pack_->path = SYS_StrDup(path_);
  // Each name with its terminator is shorter than its record, so a block of
  // the catalogue's length holds them all.
  pack_->names = count ? static_cast<char*>(SYS_MemGet(catalogueLength_)) : nullptr;
  pack_->entries =
      count ? static_cast<SYS_PackEntry_t*>(SYS_MemGet(uint64_t(count) * sizeof(SYS_PackEntry_t))) : nullptr;
  if (!pack_->path || (count && (!pack_->names || !pack_->entries))) return Fail(ERR_NOMEM, "out of memory");
  FILE_PACK_LOG_AS(FileDetail(), fn_, "  - files:\n");

  char* name = pack_->names;
  SYS_PackRecord_t record;
  for (uint32_t i = 0; reader.Next(record); ++i) {
    SYS_PackEntry_t& entry = pack_->entries[i];
    entry.storedSize = record.storedSize;
    entry.dataOffset = record.dataOffset;
    entry.flags = record.flags;
    entry.realSize = record.storedSize;
    entry.sized = (record.flags & SYS_PACK_COMPRESSED) ? 0 : 1;
    if (!record.name.empty()) std::memcpy(name, record.name.data(), record.name.size());
    name[record.name.size()] = 0;
    entry.name = name;
    entry.pack = pack_;
    name += record.name.size() + 1;
    FILE_PACK_LOG_AS(FileDetail(), fn_, "     - %s\n", entry.name);
  }
  if (reader.fault())
    return Fail(reader.fault(), reader.fault() == SYS_PACK_ENTRY_OUTSIDE ? record.name : std::string_view());
  if (!Index()) return Fail(ERR_NOMEM, "out of memory");
  pack_->archive = archive_;
  pack_->count = count;
  pack_->image = image_;
  pack_->size = size_;

  SYS_List_p list = SYS_ListAddFirst(packs, pack_);
  if (!list) {
    pack_->archive = nullptr;
    pack_->image = nullptr;
    return Fail(ERR_NOMEM, "out of memory");
  }
  packs = list;
  pack_ = nullptr;
  archive_ = nullptr;
  image_ = nullptr;
  SYS_MemFree(catalogue_);
  return 0;
}

// An open-addressing table at most half full; the first of equal names (in
// catalogue order) keeps the slot.
bool Mount::Index() {
  const uint32_t count = header_.count;
  if (count == 0) return true;
  uint64_t slots = 2;
  while (slots < uint64_t(count) * 2) slots <<= 1;
  if (slots * sizeof(uint32_t) > UINT32_MAX) return false;
  pack_->index = static_cast<uint32_t*>(SYS_MemGet(slots * sizeof(uint32_t)));
  if (!pack_->index) return false;
  pack_->indexMask = static_cast<uint32_t>(slots - 1);
  for (uint32_t i = 0; i < count; ++i) {
    const char* name = pack_->entries[i].name;
    uint32_t slot = HashName(name) & pack_->indexMask;
    while (pack_->index[slot] && std::strcmp(pack_->entries[pack_->index[slot] - 1].name, name) != 0)
      slot = (slot + 1) & pack_->indexMask;
    if (!pack_->index[slot]) pack_->index[slot] = i + 1;
  }
  return true;
}

SYS_PackEntry_t* View(SYS_File_p file) { return file ? file->entry : nullptr; }

// An entry's stored bytes: in place for an archive in memory, else read
// into small when they fit (most entries do) or into a tracked buffer that
// the caller releases (owned). Empty with code 3 or 5 when they cannot be
// had.
std::span<const uint8_t> StoredBytes(SYS_Pack_t* pack, const SYS_PackEntry_t& entry, std::span<uint8_t> small,
                                     uint8_t*& owned) {
  if (pack->image) return {pack->image + entry.dataOffset, entry.storedSize};
  uint8_t* to = small.data();
  if (entry.storedSize > small.size()) {
    to = owned = static_cast<uint8_t*>(SYS_MemGet(entry.storedSize));
    if (!owned) {
      errSetLastError(ERR_NOMEM);
      return {};
    }
  }
  if (!ReadAt(pack, entry.dataOffset, to, entry.storedSize)) {
    errSetLastError(ERR_READ);
    return {};
  }
  return {to, entry.storedSize};
}

// Unpacks a compressed entry into the view's own image; the code of a
// failure is the read's or the decompressor's.
bool Unpacked(SYS_Pack_t* pack, SYS_PackEntry_t* view) {
  uint8_t small[4096];
  uint8_t* stored = nullptr;
  const std::span<const uint8_t> block = StoredBytes(pack, *view, small, stored);
  if (block.empty()) {
    SYS_ErrKeeper keep;
    SYS_MemFree(stored);
    return false;
  }
  void* unpacked = nullptr;
  uint32_t length = 0;
  const int result = SYS_ZUncompress(block.data(), block.size(), &unpacked, &length);
  SYS_ErrKeeper keep;
  SYS_MemFree(stored);
  if (result != 0) return false;
  view->data = static_cast<uint8_t*>(unpacked);
  view->realSize = length;
  view->sized = 1;
  return true;
}

// A plain entry's image, loaded when a line read first needs one.
bool Loaded(SYS_PackEntry_t* view) {
  if (view->data || view->realSize == 0) return true;
  auto* data = static_cast<uint8_t*>(SYS_MemGet(view->realSize));
  if (!data) {
    errSetLastError(ERR_NOMEM);
    return false;
  }
  if (!ReadAt(view->pack, view->dataOffset, data, view->realSize)) {
    SYS_MemFree(data);
    errSetLastError(ERR_READ);
    return false;
  }
  view->data = data;
  return true;
}
}  // namespace

SYS_Pack_p SYS_FindPack(const char* name) {
  const SYS_PackEntry_t* entry = FindEntry(name);
  return entry ? entry->pack : nullptr;
}

int SYS_FilePackOpen_pack(const char* path) {
  if (!path) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  // Only a regular file can be an archive; anything else is declined
  // before the file layer could report a failed open.
  if (plat::StatPath(path).kind != plat::PathKind::File) {
    FILE_PACK_LOG(SYS_DBG_WRN, " %s refused: no such file\n", path);
    errSetLastError(ERR_NOTFOUND);
    return -1;
  }
  SYS_File_p archive = SYS_FileOpen(path, 0);
  if (!archive) return -1;
  Mount mount(path, __func__);
  return mount.FromFile(archive);
}

int SYS_FilePackOpenMem(const char* name, const void* bytes, uint64_t size) {
  errClear();
  if (!name || (!bytes && size > 0)) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  Mount mount(name, __func__);
  return mount.FromMemory(bytes, size);
}

int SYS_FileOpen_pack(SYS_File_p file) {
  errClear();
  if (file->flags & (SYS_FILE_WRITE | SYS_FILE_APPEND)) {
    errSetLastError(ERR_UNSUPPORTED);
    return -1;
  }
  SYS_PackEntry_t* entry = FindEntry(file->name);
  if (!entry) {
    errSetLastError(ERR_NOTFOUND);
    return -1;
  }
  auto* view = static_cast<SYS_PackEntry_t*>(SYS_MemGet(sizeof(SYS_PackEntry_t)));
  if (!view) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  *view = *entry;
  view->position = 0;
  view->data = nullptr;
  if ((entry->flags & SYS_PACK_COMPRESSED) && !Unpacked(entry->pack, view)) {
    SYS_ErrKeeper keep;
    SYS_MemFree(view);
    return -1;
  }
  // The unpacking has read the block's length field: the size is known now.
  entry->realSize = view->realSize;
  entry->sized = 1;
  // The archive's own file; an archive mounted from memory has none, and
  // the handle stays non-null while the file is open.
  file->handle = entry->pack->archive ? static_cast<void*>(entry->pack->archive) : static_cast<void*>(entry->pack);
  file->entry = view;
  file->size = view->realSize;
  return 0;
}

int SYS_FileSeek_pack(SYS_File_p file, int64_t offset) {
  errClear();
  SYS_PackEntry_t* view = View(file);
  if (!view || offset < 0) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  // Past the end lands on the last byte, not on the end.
  if (offset <= int64_t(view->realSize)) view->position = static_cast<uint32_t>(offset);
  else view->position = view->realSize ? view->realSize - 1 : 0;
  return 0;
}

int64_t SYS_FileRead_pack(SYS_File_p file, void* buffer, int64_t length) {
  errClear();
  SYS_PackEntry_t* view = View(file);
  if (!view) {
    errSetLastError(ERR_NOTFOUND);
    return -1;
  }
  if (length < 0 || (!buffer && length > 0)) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(length, view->realSize - view->position));
  if (n == 0) return 0;
  if (view->data) {
    std::memcpy(buffer, view->data + view->position, n);
  } else if (!ReadAt(view->pack, uint64_t(view->dataOffset) + view->position, static_cast<uint8_t*>(buffer), n)) {
    errSetLastError(ERR_READ);
    return -1;
  }
  view->position += n;
  return n;
}

char* SYS_FileGetStr_pack(SYS_File_p file, char* buffer, int length) {
  errClear();
  if (!buffer || length <= 0) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  SYS_PackEntry_t* view = View(file);
  if (!view) {
    errSetLastError(ERR_NOTFOUND);
    return nullptr;
  }
  std::memset(buffer, 0, static_cast<size_t>(length));
  if (!Loaded(view)) return nullptr;
  // The line keeps its line feed (and a carriage return before it).
  const uint32_t most = std::min<uint32_t>(static_cast<uint32_t>(length - 1), view->realSize - view->position);
  const uint8_t* from = view->data + view->position;
  uint32_t n = 0;
  while (n < most) {
    const uint8_t c = from[n++];
    if (c == '\n') break;
  }
  if (n) std::memcpy(buffer, from, n);
  // A zero byte ends the text; the position moves by what the text holds.
  view->position += static_cast<uint32_t>(std::strlen(buffer));
  return buffer[0] ? buffer : nullptr;
}

int SYS_FilePutStr_pack(SYS_File_p, const char*) {
  errClear();
  errSetLastError(ERR_UNSUPPORTED);
  return -1;
}

int SYS_FileWrite_pack(SYS_File_p, const void*, int64_t) {
  errClear();
  errSetLastError(ERR_UNSUPPORTED);
  return -1;
}

int SYS_FileEof_pack(SYS_File_p file) {
  errClear();
  const SYS_PackEntry_t* view = View(file);
  return !view || view->position >= view->realSize ? 1 : 0;
}

int64_t SYS_FileTell_pack(SYS_File_p file) {
  errClear();
  const SYS_PackEntry_t* view = View(file);
  return view ? int64_t(view->position) : -1;
}

void SYS_FileClose_pack(SYS_File_p file) {
  errClear();
  SYS_PackEntry_t* view = View(file);
  if (!view) return;
  SYS_MemFree(view->data);
  SYS_MemFree(view);
  file->entry = nullptr;
}

int SYS_FileExist_pack(const char* name) {
  errClear();
  if (FindEntry(name)) return 0;
  errSetLastError(ERR_NOTFOUND);
  return -1;
}

int64_t SYS_FileSize_pack(const char* name) {
  errClear();
  SYS_PackEntry_t* entry = FindEntry(name);
  if (!entry) {
    errSetLastError(ERR_NOTFOUND);
    return -1;
  }
  if (!EnsureSized(entry->pack, *entry)) {
    errSetLastError(ERR_READ);
    return -1;
  }
  return entry->realSize;
}

SYS_Pack_p SYS_PackNewest(void) { return packs ? static_cast<SYS_Pack_p>(packs->data) : nullptr; }

void SYS_PackUnmountAll(void) {
  while (packs) {
    auto* pack = static_cast<SYS_Pack_p>(packs->data);
    packs = SYS_ListDelItem(packs, pack);
    SYS_FileClose(pack->archive);
    ReleasePack(pack);
  }
}
