// The archive handler: packed archives mounted as packs. An opened entry is
// loaded whole (and unpacked when it is stored compressed); reads, line
// reads and seeks then work on that image.
#include "framework/base/file-pack.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/str.h"
#include "framework/base/z.h"
#include "platform/kernel.h"

const SYS_FileHandler_t SYS_FileHandlerPack = {
    "Pack handler",      SYS_FilePackOpen_pack, SYS_FileOpen_pack,  SYS_FileSeek_pack, SYS_FileRead_pack,
    SYS_FileGetStr_pack, SYS_FilePutStr_pack,   SYS_FileWrite_pack, SYS_FileEof_pack,  SYS_FileTell_pack,
    SYS_FileClose_pack,  SYS_FileExist_pack,    SYS_FileSize_pack,
};

namespace {
// Mounted archives, newest first.
SYS_List_p packs = nullptr;

int FileDetail() { return SYS_DbgDetail(SYS_DbgSwitches.file); }

uint32_t GetU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

SYS_PackEntry_t* FindEntry(const char* name, SYS_Pack_p* owner) {
  if (!name) return nullptr;
  for (SYS_List_p node = packs; node; node = node->next) {
    auto* pack = static_cast<SYS_Pack_p>(node->data);
    for (uint32_t i = 0; i < pack->count; ++i)
      if (std::strcmp(pack->entries[i].name, name) == 0) {
        if (owner) *owner = pack;
        return &pack->entries[i];
      }
  }
  return nullptr;
}

// Reads exactly length bytes at offset of the archive into a new tracked
// buffer; null when they cannot all be read (code 5 or 3).
uint8_t* ReadAt(SYS_File_p archive, uint32_t offset, uint32_t length) {
  auto* buffer = static_cast<uint8_t*>(SYS_MemGet(length));
  if (!buffer) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  if (SYS_FileSeek(archive, offset) != 0 || SYS_FileRead(archive, buffer, length) != int64_t(length)) {
    SYS_MemFree(buffer);
    errSetLastError(ERR_READ);
    return nullptr;
  }
  return buffer;
}

void ReleaseNames(SYS_Pack_p pack, uint32_t named) {
  for (uint32_t i = 0; i < named; ++i) SYS_MemFree(pack->entries[i].name);
}

// A mount in the making: whatever it holds is released unless it is kept.
class Mount {
 public:
  Mount(SYS_File_p archive, const char* path) : archive_(archive), path_(path) {}
  ~Mount() { Release(); }
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;

  // Says in the log why the archive was refused (a user who finds an entry
  // missing looks there), releases everything, then leaves the code (the
  // releases may clear it).
  int Fail(int code, const char* reason, const char* entry = nullptr) {
    SYS_DbgMessage(SYS_DBG_WRN, "[file-pack][%s:%d:%s()] %s refused: %s%s%s\n", SYS_LOGPOS, path_, reason,
                   entry ? ": " : "", entry ? entry : "");
    Release();
    errSetLastError(code);
    return -1;
  }

  int Run();

 private:
  int ReadCatalogue(uint32_t offset, int64_t fileSize);
  int ReadRecords(int64_t fileSize);
  void Release();

  SYS_File_p archive_;
  const char* path_;
  SYS_Pack_p pack_ = nullptr;
  uint8_t* catalogue_ = nullptr;
  uint32_t catalogueLength_ = 0;
  uint32_t count_ = 0;
  uint32_t named_ = 0;
};

void Mount::Release() {
  SYS_MemFree(catalogue_);
  if (pack_) {
    ReleaseNames(pack_, named_);
    SYS_MemFree(pack_->entries);
    SYS_MemFree(pack_->path);
    SYS_MemFree(pack_);
  }
  named_ = 0;
  if (archive_) SYS_FileClose(archive_);
  archive_ = nullptr;
}

int Mount::Run() {
  const char* path = path_;
  uint8_t header[SYS_PACK_HEADER];
  if (SYS_FileRead(archive_, header, sizeof header) != int64_t(sizeof header) ||
      std::memcmp(header, SYS_PACK_MAGIC, 4) != 0)
    return Fail(ERR_NOTARCHIVE, "not an archive");
  count_ = GetU32(header + 4);
  const uint32_t catalogueOffset = GetU32(header + 8);
  const int detail = FileDetail();
  SYS_DbgMessage(detail, "[file-pack][%s:%d:%s()] %s\n", SYS_LOGPOS, path);
  SYS_DbgMessage(detail, "[file-pack][%s:%d:%s()]  - number of entries: %d\n", SYS_LOGPOS, static_cast<int>(count_));
  SYS_DbgMessage(detail, "[file-pack][%s:%d:%s()]  - catalog's offset: %u\n", SYS_LOGPOS, catalogueOffset);

  const int64_t fileSize = archive_->size;
  if (catalogueOffset < SYS_PACK_HEADER || int64_t(catalogueOffset) > fileSize)
    return Fail(ERR_NOTARCHIVE, "bad catalogue (offset outside the file)");
  // An empty archive needs no catalogue (and an empty block cannot exist).
  if (count_ > 0 && ReadCatalogue(catalogueOffset, fileSize) != 0) return -1;

  pack_ = static_cast<SYS_Pack_p>(SYS_MemGet(sizeof(SYS_Pack_t)));
  if (!pack_) return Fail(ERR_NOMEM, "out of memory");
  pack_->path = SYS_StrDup(path);
  pack_->entries = count_ ? static_cast<SYS_PackEntry_t*>(SYS_MemGet(uint64_t(count_) * sizeof(SYS_PackEntry_t)))
                          : nullptr;
  if (!pack_->path || (count_ && !pack_->entries)) return Fail(ERR_NOMEM, "out of memory");
  SYS_DbgMessage(detail, "[file-pack][%s:%d:%s()]  - files:\n", SYS_LOGPOS);
  if (ReadRecords(fileSize) != 0) return -1;
  pack_->archive = archive_;
  pack_->count = count_;

  SYS_List_p list = SYS_ListAddFirst(packs, pack_);
  if (!list) return Fail(ERR_NOMEM, "out of memory");
  packs = list;
  pack_ = nullptr;
  archive_ = nullptr;
  return 0;
}

int Mount::ReadCatalogue(uint32_t offset, int64_t fileSize) {
  const int64_t size = fileSize - offset;
  if (size < int64_t(SYS_ZBLOCK_HEADER) || size > UINT32_MAX) return Fail(ERR_NOTARCHIVE, "bad catalogue (no block)");
  uint8_t* packed = ReadAt(archive_, offset, static_cast<uint32_t>(size));
  if (!packed)
    return errPeekLastError() == ERR_NOMEM ? Fail(ERR_NOMEM, "out of memory")
                                           : Fail(ERR_NOTARCHIVE, "bad catalogue (cannot be read)");
  void* unpacked = nullptr;
  const int result = SYS_ZUncompress(packed, static_cast<uint64_t>(size), &unpacked, &catalogueLength_);
  // The release may clear the decompressor's code, which the caller gets.
  const int code = errPeekLastError();
  SYS_MemFree(packed);
  if (result != 0) return Fail(code, "bad catalogue (cannot be unpacked)");
  catalogue_ = static_cast<uint8_t*>(unpacked);
  // Every record takes at least its fixed part.
  if (uint64_t(count_) * SYS_PACK_RECORD > catalogueLength_)
    return Fail(ERR_NOTARCHIVE, "bad catalogue (shorter than its count)");
  return 0;
}

int Mount::ReadRecords(int64_t fileSize) {
  uint64_t at = 0;
  for (uint32_t i = 0; i < count_; ++i) {
    if (at + SYS_PACK_RECORD > catalogueLength_) return Fail(ERR_NOTARCHIVE, "bad catalogue (record cut short)");
    const uint8_t* record = catalogue_ + at;
    const uint16_t nameLength = GetU16(record + 9);
    if (at + SYS_PACK_RECORD + nameLength > catalogueLength_)
      return Fail(ERR_NOTARCHIVE, "bad catalogue (record cut short)");
    SYS_PackEntry_t& entry = pack_->entries[i];
    entry.storedSize = GetU32(record);
    entry.dataOffset = GetU32(record + 4);
    entry.flags = record[8];
    entry.name = static_cast<char*>(SYS_MemGet(size_t(nameLength) + 1));
    if (!entry.name) return Fail(ERR_NOMEM, "out of memory");
    ++named_;
    std::memcpy(entry.name, record + SYS_PACK_RECORD, nameLength);
    if (uint64_t(entry.dataOffset) + entry.storedSize > uint64_t(fileSize))
      return Fail(ERR_NOTARCHIVE, "entry outside the file", entry.name);
    if ((entry.flags & SYS_PACK_COMPRESSED) && entry.storedSize < SYS_ZBLOCK_HEADER)
      return Fail(ERR_NOTARCHIVE, "entry outside the file", entry.name);
    entry.realSize = entry.storedSize;
    if (entry.flags & SYS_PACK_COMPRESSED) {
      // The block's first field is the unpacked length.
      uint8_t length[4];
      if (SYS_FileSeek(archive_, entry.dataOffset) != 0 || SYS_FileRead(archive_, length, 4) != 4)
        return Fail(ERR_NOTARCHIVE, "entry outside the file", entry.name);
      entry.realSize = GetU32(length);
    }
    SYS_DbgMessage(FileDetail(), "[file-pack][%s:%d:%s()]     - %s\n", SYS_LOGPOS, entry.name);
    at += SYS_PACK_RECORD + nameLength;
  }
  return 0;
}

SYS_PackEntry_t* View(SYS_File_p file) { return file ? file->entry : nullptr; }
}  // namespace

SYS_Pack_p SYS_FindPack(const char* name) {
  SYS_Pack_p pack = nullptr;
  return FindEntry(name, &pack) ? pack : nullptr;
}

int SYS_FilePackOpen_pack(const char* path) {
  if (!path) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  // Only a regular file can be an archive; anything else is declined
  // before the file layer could report a failed open.
  struct stat st{};
  if (stat(plat::HostPath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    SYS_DbgMessage(SYS_DBG_WRN, "[file-pack][%s:%d:%s()] %s refused: no such file\n", SYS_LOGPOS, path);
    errSetLastError(ERR_NOTFOUND);
    return -1;
  }
  SYS_File_p archive = SYS_FileOpen(path, 0);
  if (!archive) return -1;
  Mount mount(archive, path);
  return mount.Run();
}

int SYS_FileOpen_pack(SYS_File_p file) {
  errClear();
  if (file->flags & (SYS_FILE_WRITE | SYS_FILE_APPEND)) {
    errSetLastError(ERR_UNSUPPORTED);
    return -1;
  }
  SYS_Pack_p pack = nullptr;
  const SYS_PackEntry_t* entry = FindEntry(file->name, &pack);
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
  if (entry->storedSize > 0) {
    uint8_t* stored = ReadAt(pack->archive, entry->dataOffset, entry->storedSize);
    if (!stored) {
      SYS_MemFree(view);
      return -1;
    }
    if (entry->flags & SYS_PACK_COMPRESSED) {
      void* unpacked = nullptr;
      uint32_t length = 0;
      const int result = SYS_ZUncompress(stored, entry->storedSize, &unpacked, &length);
      SYS_MemFree(stored);
      if (result != 0) {
        SYS_ErrKeeper keep;
        SYS_MemFree(view);
        return -1;
      }
      view->data = static_cast<uint8_t*>(unpacked);
      view->realSize = length;
    } else {
      view->data = stored;
    }
  }
  file->handle = pack->archive;
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
  if (n) std::memcpy(buffer, view->data + view->position, n);
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
  if (FindEntry(name, nullptr)) return 0;
  errSetLastError(ERR_NOTFOUND);
  return -1;
}

int64_t SYS_FileSize_pack(const char* name) {
  errClear();
  if (const SYS_PackEntry_t* entry = FindEntry(name, nullptr)) return entry->realSize;
  errSetLastError(ERR_NOTFOUND);
  return -1;
}

SYS_Pack_p SYS_PackNewest(void) { return packs ? static_cast<SYS_Pack_p>(packs->data) : nullptr; }

void SYS_PackUnmountAll(void) {
  while (packs) {
    auto* pack = static_cast<SYS_Pack_p>(packs->data);
    packs = SYS_ListDelItem(packs, pack);
    SYS_FileClose(pack->archive);
    ReleaseNames(pack, pack->count);
    SYS_MemFree(pack->entries);
    SYS_MemFree(pack->path);
    SYS_MemFree(pack);
  }
}
