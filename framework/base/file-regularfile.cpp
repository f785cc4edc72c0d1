// The regular-file handler: files on disk, relative to the current folder.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "framework/base/file.h"
#include "framework/base/log.h"
#include "platform/files.h"
#include "platform/kernel.h"

#define FILE_REGULARFILE_LOG(level, ...) SYS_LOG_TAGGED(level, "[file-regularfile]", __VA_ARGS__)

const SYS_FileHandler_t SYS_FileHandlerRegular = {
    "Regular file handler", nullptr,          SYS_FileOpen_reg,   SYS_FileSeek_reg,  SYS_FileRead_reg,
    SYS_FileGetStr_reg,     SYS_FilePutStr_reg, SYS_FileWrite_reg, SYS_FileEof_reg,   SYS_FileTell_reg,
    SYS_FileClose_reg,      SYS_FileExist_reg,  SYS_FileSize_reg,
};

namespace {
FILE* Stream(SYS_File_p file) { return static_cast<FILE*>(file->handle); }

const char* ModeOf(int flags) {
  if (flags & SYS_FILE_WRITE) return (flags & SYS_FILE_TEXT) ? "wt+" : "wb+";
  if (flags & SYS_FILE_APPEND) return (flags & SYS_FILE_TEXT) ? "at" : "ab";
  return (flags & SYS_FILE_TEXT) ? "rt" : "rb";
}

// The host knows no text mode: its lines are read as they are stored.
std::string HostMode(const char* mode) {
  std::string m(mode);
  m.erase(std::remove(m.begin(), m.end(), 't'), m.end());
  return m;
}

int FileDetail() { return SYS_DbgDetail(SYS_DbgSwitches.file); }
}  // namespace

int SYS_FileExist_reg(const char* name) {
  return name && plat::StatPath(name).kind != plat::PathKind::None ? 0 : -1;
}

int64_t SYS_FileSize_reg(const char* name) {
  if (!name) return -1;
  const plat::PathStatus status = plat::StatPath(name);
  return status.kind == plat::PathKind::None ? -1 : status.size;
}

int SYS_FileOpen_reg(SYS_File_p file) {
  errClear();
  std::string path(file->name);
  std::replace(path.begin(), path.end(), '/', '\\');
  FILE_REGULARFILE_LOG(FileDetail(), " [SYS_FileOpen_reg] open : %s -> %s\n", file->name, path.c_str());
  const char* mode = ModeOf(file->flags);
  FILE* stream = std::fopen(plat::HostPath(path).c_str(), HostMode(mode).c_str());
  int error = errno;
  const plat::PathStatus status = plat::StatStream(stream);
  if (stream && (status.kind == plat::PathKind::None || status.kind == plat::PathKind::Folder)) {
    // The host opens folders for reading; a folder is never a file here.
    error = status.kind == plat::PathKind::Folder ? EISDIR : errno;
    std::fclose(stream);
    stream = nullptr;
  }
  if (!stream) {
    FILE_REGULARFILE_LOG(FileDetail(), " file open error: %s (%s) -> %s (%d)\n", file->name, mode, std::strerror(error),
                         error);
    errSetLastError(ERR_CANTOPEN);
    return -1;
  }
  file->handle = stream;
  file->size = status.size;
  return 0;
}

int SYS_FileSeek_reg(SYS_File_p file, int64_t offset) {
  return fseeko(Stream(file), static_cast<off_t>(offset), SEEK_SET) == 0 ? 0 : -1;
}

int64_t SYS_FileRead_reg(SYS_File_p file, void* buffer, int64_t length) {
  if (!buffer || length <= 0) return 0;
  return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(length), Stream(file)));
}

char* SYS_FileGetStr_reg(SYS_File_p file, char* buffer, int length) {
  // Room for one character at least, or a caller's loop would never end.
  if (!buffer || length < 2) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  if (!std::fgets(buffer, length, Stream(file))) return nullptr;
  // Strip the line end: a line feed, then a carriage return before it. A
  // line that starts with a zero byte has nothing to strip.
  size_t n = std::strlen(buffer);
  if (n > 0 && buffer[n - 1] == '\n') buffer[--n] = 0;
  if (n > 0 && buffer[n - 1] == '\r') buffer[--n] = 0;
  return buffer;
}

int SYS_FilePutStr_reg(SYS_File_p file, const char* text) {
  std::fputs(text, Stream(file));
  return 0;
}

int SYS_FileWrite_reg(SYS_File_p file, const void* buffer, int64_t length) {
  if (length < 0 || (!buffer && length > 0)) return -1;
  if (length == 0) return 0;
  return std::fwrite(buffer, 1, static_cast<size_t>(length), Stream(file)) == static_cast<size_t>(length) ? 0 : -1;
}

int SYS_FileEof_reg(SYS_File_p file) { return std::feof(Stream(file)); }

int64_t SYS_FileTell_reg(SYS_File_p file) { return static_cast<int64_t>(ftello(Stream(file))); }

void SYS_FileClose_reg(SYS_File_p file) {
  if (file->handle) std::fclose(Stream(file));
  file->handle = nullptr;
}
