// The file layer. Minimal form: files on disk and the standard paths that the
// start-up needs; the handler chain and the packs follow.
#include "framework/base/file.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/base/cfg.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/str.h"
#include "platform/kernel.h"

namespace {
const char* ModeOf(int flags) {
  if (flags & SYS_FILE_WRITE) return (flags & SYS_FILE_TEXT) ? "wt+" : "wb+";
  if (flags & SYS_FILE_APPEND) return (flags & SYS_FILE_TEXT) ? "at" : "ab";
  return (flags & SYS_FILE_TEXT) ? "rt" : "rb";
}
FILE* Stream(SYS_File_p f) { return static_cast<FILE*>(f->handle); }
}  // namespace

SYS_File_p SYS_FileOpen(const char* name, int flags) {
  errClear();
  if (!name) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  std::string mode = ModeOf(flags);
  if (mode[1] == 't') mode.erase(1, 1);
  FILE* stream = std::fopen(plat::HostPath(name).c_str(), mode.c_str());
  if (!stream) {
    errSetLastErrorEx(ERR_NOTFOUND, name);
    return nullptr;
  }
  auto* f = static_cast<SYS_File_p>(SYS_MemGet(sizeof(SYS_File_t)));
  f->name = SYS_StrDup(name);
  f->flags = flags;
  f->handle = stream;
  return f;
}

void SYS_FileClose(SYS_File_p file) {
  if (!file) return;
  if (file->handle) std::fclose(Stream(file));
  SYS_MemFree(file->name);
  SYS_MemFree(file);
}

char* SYS_FileGetStr(SYS_File_p file, char* buffer, int length) {
  if (!std::fgets(buffer, length, Stream(file))) return nullptr;
  size_t n = std::strlen(buffer);
  while (n && (buffer[n - 1] == '\n' || buffer[n - 1] == '\r')) buffer[--n] = 0;
  return buffer;
}

int SYS_FilePutStr(SYS_File_p file, const char* format, ...) {
  errClear();
  if (!file || !file->handle || !format) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  char line[2048];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(line, sizeof line, format, ap);
  va_end(ap);
  return std::fputs(line, Stream(file)) < 0 ? -1 : 0;
}

int SYS_FileExist(const char* name) {
  errClear();
  struct stat st{};
  if (name && stat(plat::HostPath(name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) return 0;
  errSetLastError(ERR_NOTFOUND);
  return -1;
}

int SYS_FileDone(void) {
  errClear();
  return 0;
}

char* SYS_PathGet(int type, const char* name) {
  errClear();
  if (!name) name = "";
  std::string program = SYS_CfgCount() > 0 && SYS_CfgArg(0) ? SYS_CfgArg(0) : "";
  std::string result;
  size_t cut = program.rfind('\\');
  std::string programDir = cut == std::string::npos ? std::string(".") : program.substr(0, cut);
  const char* home = std::getenv("HOME");
  std::string homeDir = home && std::strcmp(home, "\\") != 0 ? home : programDir;
  switch (type) {
    case SYS_PATH_PROGRAM: result = programDir + "\\" + name; break;
    case SYS_PATH_HOME: result = homeDir + "\\" + name; break;
    default: errSetLastError(ERR_BADARG); return nullptr;
  }
  for (char& c : result)
    if (c == '/') c = '\\';
  return SYS_StrDup(result.c_str());
}
