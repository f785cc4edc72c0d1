// The file layer: the handler chain, the open-file list, and the standard
// paths, folder listing and folder creation.
#include "framework/base/file.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "framework/base/cfg.h"
#include "framework/base/file-pack.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/nodestroy.h"
#include "framework/base/str.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/shell.h"

#define FILE_LOG(level, ...) SYS_LOG_TAGGED(level, "[file]", __VA_ARGS__)

const SYS_FileHandler_t* const SYS_FileHandlers[] = {&SYS_FileHandlerRegular, &SYS_FileHandlerDir,
                                                     &SYS_FileHandlerPack, nullptr};

namespace {
// Every open file, newest first. Files are used from several threads (a
// music player reads its stream while its owner opens and closes others),
// so the list has a lock; a file itself belongs to one thread at a time.
SYS_List_p openFiles = nullptr;
SYS_NoDestroy<std::mutex> openFilesLock;

// Under the lock.
bool Listed(SYS_File_p file) {
  if (!file) return false;
  for (SYS_List_p node = openFiles; node; node = node->next)
    if (node->data == file) return true;
  return false;
}

bool IsOpen(SYS_File_p file) {
  std::lock_guard<std::mutex> guard(*openFilesLock);
  return Listed(file);
}

const SYS_FileHandler_t* HandlerOf(const char* name) {
  for (const SYS_FileHandler_t* const* h = SYS_FileHandlers; *h; ++h)
    if ((*h)->exist && (*h)->exist(name) == 0) return *h;
  return nullptr;
}

// The size of the newest file open through the archive handler under
// exactly the name; false when there is none.
bool OpenArchiveEntrySize(const char* name, int64_t& size) {
  std::lock_guard<std::mutex> guard(*openFilesLock);
  for (SYS_List_p node = openFiles; node; node = node->next) {
    const auto* file = static_cast<const SYS_File_t*>(node->data);
    if (file->handler == &SYS_FileHandlerPack && std::strcmp(file->name, name) == 0) {
      size = file->size;
      return true;
    }
  }
  return false;
}

void ReleaseRecord(SYS_File_p file) {
  if (!file) return;
  SYS_MemFree(file->name);
  SYS_MemFree(file);
}

void TakeSlots(SYS_File_p file, const SYS_FileHandler_t* handler) {
  file->handler = handler;
  file->seek = handler->seek;
  file->read = handler->read;
  file->gets = handler->gets;
  file->puts = handler->puts;
  file->write = handler->write;
  file->eof = handler->eof;
  file->tell = handler->tell;
  file->close = handler->close;
  file->exist = handler->exist;
  file->size_of = handler->size;
}

int FileDetail() { return SYS_DbgDetail(SYS_DbgSwitches.file); }
}  // namespace

SYS_File_p SYS_FileOpen(const char* name, int flags) {
  errClear();
  if (!name) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  FILE_LOG(FileDetail(), " opening %s...\n", name);
  const SYS_FileHandler_t* handler = HandlerOf(name);
  if (!handler) {
    // Only a new file for writing may be created; appending needs one.
    if (!(flags & SYS_FILE_WRITE)) {
      errSetLastErrorEx(ERR_UNSUPPORTED, name);
      return nullptr;
    }
    handler = &SYS_FileHandlerRegular;
  }
  auto* file = static_cast<SYS_File_p>(SYS_MemGet(sizeof(SYS_File_t)));
  char* copy = SYS_StrDup(name);
  if (!file || !copy) {
    SYS_MemFree(copy);
    SYS_MemFree(file);
    errSetLastErrorEx(ERR_NOMEM, name);
    return nullptr;
  }
  file->name = copy;
  file->flags = flags;
  file->size = -1;
  TakeSlots(file, handler);
  if (handler->open(file) != 0) {
    // The callback gets the caller's name (the record's copy is gone by
    // then) and always a code, even from a handler that left none.
    int code = errPeekLastError();
    if (code == ERR_NONE) code = ERR_CANTOPEN;
    ReleaseRecord(file);
    errSetLastErrorEx(code, name);
    return nullptr;
  }
  SYS_List_p list;
  {
    std::lock_guard<std::mutex> guard(*openFilesLock);
    list = SYS_ListAddFirst(openFiles, file);
    if (list) openFiles = list;
  }
  if (!list) {
    file->close(file);
    ReleaseRecord(file);
    errSetLastErrorEx(ERR_NOMEM, name);
    return nullptr;
  }
  return file;
}

void SYS_FileClose(SYS_File_p file) {
  // A file that is not open (null, or closed before) is left alone.
  {
    std::lock_guard<std::mutex> guard(*openFilesLock);
    if (!Listed(file)) return;
    openFiles = SYS_ListDelItem(openFiles, file);
  }
  file->close(file);
  ReleaseRecord(file);
}

int SYS_FileSeek(SYS_File_p file, int64_t offset) {
  errClear();
  if (!IsOpen(file)) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  return file->seek(file, offset);
}

int64_t SYS_FileRead(SYS_File_p file, void* buffer, int64_t length) {
  if (!IsOpen(file)) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  return file->read(file, buffer, length);
}

char* SYS_FileGetStr(SYS_File_p file, char* buffer, int length) {
  if (!IsOpen(file)) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  return file->gets(file, buffer, length);
}

int SYS_FilePutStr(SYS_File_p file, const char* format, ...) {
  errClear();
  if (!IsOpen(file) || !format) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  char line[2048];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(line, sizeof line, format, ap);
  va_end(ap);
  return file->puts(file, line);
}

int SYS_FileWrite(SYS_File_p file, const void* buffer, int64_t length) {
  if (!IsOpen(file)) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  return file->write(file, buffer, length);
}

int SYS_FileEof(SYS_File_p file) {
  if (!IsOpen(file)) {
    errSetLastError(ERR_BADARG);
    return 1;
  }
  return file->eof(file);
}

int64_t SYS_FileTell(SYS_File_p file) {
  if (!IsOpen(file)) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  return file->tell(file);
}

int SYS_FileExist(const char* name) {
  errClear();
  if (!name) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (HandlerOf(name)) {
    errClear();
    return 0;
  }
  errSetLastError(ERR_NOTFOUND);
  return -1;
}

int64_t SYS_FileSize(const char* name) {
  errClear();
  if (!name) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  // A name open through the archive handler is that handler's: it won the
  // name at the open, and an archive entry cannot change while it is open.
  // A load that opens and then sizes a file so asks the disk only once.
  if (int64_t size; OpenArchiveEntrySize(name, size)) return size;
  const SYS_FileHandler_t* handler = HandlerOf(name);
  if (!handler) {
    errSetLastError(ERR_NOTFOUND);
    return -1;
  }
  errClear();
  return handler->size ? handler->size(name) : 1;
}

int SYS_FilePackOpen(const char* path) {
  errClear();
  for (const SYS_FileHandler_t* const* h = SYS_FileHandlers; *h; ++h)
    if ((*h)->packOpen && (*h)->packOpen(path) == 0) {
      errClear();
      return 0;
    }
  errSetLastError(ERR_UNSUPPORTED);
  return -1;
}

int SYS_FileDone(void) {
  errClear();
  return 0;
}

// --- standard paths ------------------------------------------------------

namespace {
const char* homeBase = ".quarn";

std::string SlashesToBackslashes(std::string text) {
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

// The program path (argument 0) up to its last "\", or "." without one.
std::string ProgramFolder() {
  const char* program = SYS_CfgCount() > 0 ? SYS_CfgArg(0) : nullptr;
  std::string path = program ? program : "";
  size_t cut = path.rfind('\\');
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

std::string HomeFolder() {
  for (const char* variable : {"HOME", "HOMEDRIVE", "HOMEPATH", "USERPROFILE"})
    if (const char* value = std::getenv(variable)) {
      if (std::strcmp(value, "\\") == 0) break;
      return value;
    }
  return ProgramFolder();
}

// TEMP is a Windows habit; Linux keeps the folder in TMPDIR, or /tmp.
std::string TempFolder() {
  for (const char* variable : {"TEMP", "TMPDIR"})
    if (const char* value = std::getenv(variable); value && *value) return value;
  return "/tmp";
}
}  // namespace

char* SYS_PathGet(int type, const char* name) {
  errClear();
  if (!name) name = "";
  std::string result;
  switch (type) {
    case SYS_PATH_NONE: return nullptr;
    case SYS_PATH_PROGRAM: result = ProgramFolder() + '\\' + name; break;
    case SYS_PATH_HOME: result = HomeFolder() + '\\' + name; break;
    case SYS_PATH_CONFIG:
      result = HomeFolder() + '\\' + homeBase + "\\config\\" + name;
      break;
    case SYS_PATH_DESKTOP: {
      char desktop[MAX_PATH];
      if (!SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE)) {
        errSetLastError(ERR_NOTFOUND);
        return nullptr;
      }
      result = std::string(desktop) + '\\' + name;
      break;
    }
    case SYS_PATH_TEMP: result = TempFolder() + '\\' + name; break;
    default: errSetLastError(ERR_BADARG); return nullptr;
  }
  char* path = SYS_StrDup(SlashesToBackslashes(result).c_str());
  if (!path) errSetLastError(ERR_NOMEM);
  return path;
}

void SYS_PathSetHomeBase(const char* name) { homeBase = name ? name : ".quarn"; }

int SYS_MkDir(const char* path) {
  if (!path || !*path) return 1;
  std::string folder(path);
  // A trailing separator names the same folder.
  while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  const plat::MakeFolderResult result = plat::MakeFolder(folder);
  if (result == plat::MakeFolderResult::Made) return 0;
  if (result == plat::MakeFolderResult::Failed) return 1;
  const size_t cut = folder.find_last_of("\\/");
  if (cut == std::string::npos || cut == 0) return 1;
  SYS_MkDir(folder.substr(0, cut).c_str());
  // Only the second attempt tells whether the folder now exists.
  return plat::MakeFolder(folder) == plat::MakeFolderResult::Made ? 0 : 1;
}

// --- folder listing --------------------------------------------------------

namespace {
// Windows wildcard rules: "*" any run, "?" any one character, letter case
// ignored, no escapes or brackets.
bool WildcardMatch(const char* mask, const char* name) {
  const char* starMask = nullptr;
  const char* starName = nullptr;
  while (*name) {
    if (*mask == '*') {
      starMask = ++mask;
      starName = name;
    } else if (*mask == '?' || (*mask && SYS_AsciiLower(*mask) == SYS_AsciiLower(*name))) {
      ++mask;
      ++name;
    } else if (starMask) {
      mask = starMask;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*mask == '*') ++mask;
  return *mask == 0;
}

// The folder's names that match, sorted; false when nothing matched at all
// ("." and ".." included), as the Windows find functions would report.
bool ListMatches(const std::string& folder, const std::string& mask, std::vector<std::string>& names) {
  const char* wildcards = mask == "*.*" ? "*" : mask.c_str();
  std::vector<std::string> all;
  if (!plat::ListFolder(folder, all)) return false;
  bool any = false;
  for (std::string& name : all) {
    if (!WildcardMatch(wildcards, name.c_str())) continue;
    any = true;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return any;
}

void ReleaseGlob(SYS_Glob_p glob) {
  if (!glob) return;
  for (int32_t i = 0; i < glob->count && glob->names; ++i) SYS_MemFree(glob->names[i]);
  SYS_MemFree(glob->names);
  SYS_MemFree(glob);
}

int GlobOutOfMemory(SYS_Glob_pp result) {
  ReleaseGlob(*result);
  *result = nullptr;
  errSetLastError(ERR_NOMEM);
  return -1;
}
}  // namespace

int SYS_Glob(const char* pattern, SYS_Glob_pp result) {
  errClear();
  if (result) *result = nullptr;
  if (!pattern || !result || !*pattern) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  auto* glob = static_cast<SYS_Glob_p>(SYS_MemGet(sizeof(SYS_Glob_t)));
  if (!glob) return GlobOutOfMemory(result);
  *result = glob;
  const std::string filter = SlashesToBackslashes(pattern);
  const int detail = FileDetail();
  FILE_LOG(detail, " [glob] filter: %s\n", filter.c_str());

  const size_t cut = filter.rfind('\\');
  const std::string base = cut == std::string::npos ? std::string() : filter.substr(0, cut + 1);
  const std::string folder = cut == std::string::npos ? std::string(".") : cut == 0 ? std::string("\\")
                                                                                   : filter.substr(0, cut);
  std::vector<std::string> names;
  if (!ListMatches(folder, filter.substr(base.size()), names)) {
    FILE_LOG(detail, " [glob] !!! FindFirstFile returned with NULL.\n");
    return 0;
  }
  FILE_LOG(detail, " [glob] %d file(s) found.\n", static_cast<int>(names.size()));
  if (names.empty()) return 0;
  if (names.size() > INT32_MAX / sizeof(char*)) return GlobOutOfMemory(result);
  glob->names = static_cast<char**>(SYS_MemGet(names.size() * sizeof(char*)));
  if (!glob->names) return GlobOutOfMemory(result);
  FILE_LOG(detail, " [glob] base: %s\n", base.c_str());
  for (const std::string& name : names) {
    char* entry = SYS_StrDup((base + name).c_str());
    if (!entry) return GlobOutOfMemory(result);
    glob->names[glob->count] = entry;
    FILE_LOG(detail, " [glob] entry %d: %s\n", glob->count, entry);
    ++glob->count;
  }
  return 0;
}

int SYS_GlobFree(SYS_Glob_pp result) {
  errClear();
  if (!result || !*result) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  ReleaseGlob(*result);
  *result = nullptr;
  return 0;
}
