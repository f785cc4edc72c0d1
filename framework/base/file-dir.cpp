// The directory handler: a folder mounted as a pack. Its files are listed
// once at mount time and found by their path relative to the folder, with
// "\" between folder names.
#include <cstring>
#include <string>

#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/str.h"
#include "platform/files.h"

#define FILE_DIR_LOG(level, ...) SYS_LOG_TAGGED(level, "[file-dir]", __VA_ARGS__)

const SYS_FileHandler_t SYS_FileHandlerDir = {
    "Dir pack handler", SYS_FilePackOpen_dir, SYS_FileOpen_dir,  SYS_FileSeek_reg,  SYS_FileRead_reg,
    SYS_FileGetStr_reg, SYS_FilePutStr_reg,   SYS_FileWrite_reg, SYS_FileEof_reg,   SYS_FileTell_reg,
    SYS_FileClose_reg,  SYS_FileExist_dir,    SYS_FileSize_dir,
};

namespace {
struct DirEntry {
  char* name;    // relative to the root, "\" between folder names
  int64_t size;  // at the time of the scan
};

struct DirPack {
  char* root;
  int32_t count;
  DirEntry** entries;
};

// Mounted folders, newest first.
SYS_List_p dirPacks = nullptr;

int FileDetail() { return SYS_DbgDetail(SYS_DbgSwitches.file); }

DirPack* AsPack(SYS_List_p node) { return static_cast<DirPack*>(node->data); }

void ReleasePack(DirPack* pack) {
  for (int32_t i = 0; i < pack->count; ++i) {
    SYS_MemFree(pack->entries[i]->name);
    SYS_MemFree(pack->entries[i]);
  }
  SYS_MemFree(pack->entries);
  SYS_MemFree(pack->root);
  SYS_MemFree(pack);
}

bool AddEntry(DirPack* pack, const char* name, int64_t size) {
  auto* entry = static_cast<DirEntry*>(SYS_MemGet(sizeof(DirEntry)));
  char* copy = SYS_StrDup(name);
  DirEntry** grown = nullptr;
  if (entry && copy) {
    grown = pack->entries;
    if (!SYS_MemRealloc(grown, (static_cast<size_t>(pack->count) + 1) * sizeof(DirEntry*))) grown = nullptr;
  }
  if (!grown) {
    SYS_MemFree(copy);
    SYS_MemFree(entry);
    return false;
  }
  entry->name = copy;
  entry->size = size;
  pack->entries = grown;
  pack->entries[pack->count++] = entry;
  return true;
}

// Lists the folder depth first. Symbolic links to files count as files;
// links to folders are not followed, so a link loop cannot recurse forever.
bool Scan(DirPack* pack, const std::string& folder) {
  SYS_Glob_p glob = nullptr;
  if (SYS_Glob((folder + "\\*").c_str(), &glob) != 0) return false;
  const size_t skip = std::strlen(pack->root) + 1;
  bool ok = true;
  for (int32_t i = 0; ok && i < glob->count; ++i) {
    const char* name = glob->names[i];
    const plat::PathStatus itself = plat::StatLink(name);
    const plat::PathStatus named = itself.kind == plat::PathKind::Link ? plat::StatPath(name) : itself;
    if (itself.kind == plat::PathKind::Folder) ok = Scan(pack, name);
    else if (named.kind == plat::PathKind::File) ok = std::strlen(name) > skip && AddEntry(pack, name + skip, named.size);
  }
  SYS_GlobFree(&glob);
  return ok;
}

const DirEntry* FindEntry(const char* name, const DirPack** owner) {
  if (!name) return nullptr;
  for (SYS_List_p node = dirPacks; node; node = node->next) {
    const DirPack* pack = AsPack(node);
    for (int32_t i = 0; i < pack->count; ++i)
      if (std::strcmp(pack->entries[i]->name, name) == 0) {
        if (owner) *owner = pack;
        return pack->entries[i];
      }
  }
  return nullptr;
}

std::string Joined(const DirPack* pack, const char* name) { return std::string(pack->root) + "/" + name; }
}  // namespace

int SYS_FilePackOpen_dir(const char* path) {
  if (!path || plat::StatPath(path).kind != plat::PathKind::Folder) return -1;
  for (SYS_List_p node = dirPacks; node; node = node->next)
    if (std::strcmp(AsPack(node)->root, path) == 0) return 0;
  FILE_DIR_LOG(FileDetail(), " open new pack: %s\n", path);
  auto* pack = static_cast<DirPack*>(SYS_MemGet(sizeof(DirPack)));
  if (!pack || !(pack->root = SYS_StrDup(path))) {
    SYS_MemFree(pack);
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  if (!Scan(pack, path)) {
    ReleasePack(pack);
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  SYS_List_p list = SYS_ListAddFirst(dirPacks, pack);
  if (!list) {
    ReleasePack(pack);
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  dirPacks = list;
  return 0;
}

int SYS_FileExist_dir(const char* name) { return FindEntry(name, nullptr) ? 0 : -1; }

int64_t SYS_FileSize_dir(const char* name) {
  const DirPack* pack = nullptr;
  if (!FindEntry(name, &pack)) return -1;
  const plat::PathStatus status = plat::StatPath(Joined(pack, name));
  return status.kind == plat::PathKind::None ? -1 : status.size;
}

int SYS_FileOpen_dir(SYS_File_p file) {
  const DirPack* pack = nullptr;
  const DirEntry* entry = FindEntry(file->name, &pack);
  const std::string joined = entry ? Joined(pack, file->name) : std::string();
  errClear();
  FILE_DIR_LOG(FileDetail(), " [SYS_FileOpen_dir] open : %s -> %s\n", file->name, joined.c_str());
  if (!entry) {
    errSetLastError(ERR_NOTFOUND);
    return -1;
  }
  // The regular open works on the record's name: lend it the full path.
  char* name = file->name;
  file->name = const_cast<char*>(joined.c_str());
  const int result = SYS_FileOpen_reg(file);
  file->name = name;
  return result;
}
