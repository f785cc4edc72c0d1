// Command-line switches and key = "value" configuration files.
#include "framework/base/cfg.h"

#include <cstring>
#include <string>
#include <vector>

#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/numconv.h"
#include "framework/base/str.h"
#include "platform/ascii.h"

#define CFG_LOG(level, ...) SYS_LOG_TAGGED(level, "[cfg]", __VA_ARGS__)

namespace {

char** args = nullptr;
int count = 0;

bool IsSwitch(const char* arg, const char* name) {
  return arg && (arg[0] == '-' || arg[0] == '/') && SYS_AsciiEqualNoCase(arg + 1, name);
}

// One line of a configuration file, split into key and quoted value.
struct Setting {
  std::string key;
  std::string value;
};

enum class Line { Skipped, Counted, Setting };

Line SplitLine(char* text, Setting& out) {
  size_t n = std::strlen(text);
  while (n && (text[n - 1] == '\n' || text[n - 1] == '\r')) text[--n] = 0;  // archive lines keep their end
  if (!n) return Line::Skipped;
  SYS_StrSwap(text, '#', 0);  // a comment runs to the end of the line, quotes or not
  if (!*text) return Line::Skipped;
  SYS_StrSwap(text, '\t', ' ');
  while (*text == ' ') ++text;
  const char* eq = std::strchr(text, '=');
  if (!eq) return Line::Counted;  // a line without "=" holds no setting
  std::string key(static_cast<const char*>(text), eq);
  key = key.substr(0, key.find(' '));
  std::string rest(eq + 1);
  rest = rest.substr(0, rest.find('='));
  size_t q1 = rest.find('"');
  size_t q2 = q1 == std::string::npos ? std::string::npos : rest.find('"', q1 + 1);
  out.key = key;
  out.value = (q2 == std::string::npos) ? std::string() : rest.substr(q1 + 1, q2 - q1 - 1);
  return Line::Setting;
}

// The texts one load has put into text variables. A key repeated in the
// file replaces the load's own earlier copy, which is released then; a text
// that was there before the load belongs to the caller and stays.
class LoadedTexts {
 public:
  LoadedTexts() = default;
  LoadedTexts(const LoadedTexts&) = delete;
  LoadedTexts& operator=(const LoadedTexts&) = delete;
  void Put(char** variable, const std::string& value) {
    char* copy = SYS_StrDup(value.c_str());
    for (Entry& e : made_) {
      if (e.variable != variable) continue;
      if (*variable == e.copy) SYS_MemFree(*variable);
      e.copy = *variable = copy;
      return;
    }
    *variable = copy;
    made_.push_back({variable, copy});
  }

 private:
  struct Entry {
    char** variable;
    char* copy;
  };
  std::vector<Entry> made_;
};

void Apply(SYS_CFG_t* table, const Setting& s, LoadedTexts& texts) {
  for (SYS_CFG_t* row = table; row->key; ++row) {
    if (s.key != row->key || !row->variable) continue;
    switch (row->type) {
      case SYS_CFG_BOOL:
        *static_cast<int32_t*>(row->variable) = (s.value == "yes" || s.value == "true" || s.value == "1") ? 1 : 0;
        break;
      case SYS_CFG_TEXT:
        texts.Put(static_cast<char**>(row->variable), s.value);
        break;
      case SYS_CFG_INT: *static_cast<int32_t*>(row->variable) = SYS_ParseInt32(s.value.c_str()); break;
      case SYS_CFG_REAL: *static_cast<float*>(row->variable) = static_cast<float>(SYS_ParseReal(s.value.c_str())); break;
      case SYS_CFG_CALLBACK: reinterpret_cast<SYS_CfgCallback_t>(row->variable)(s.value.c_str()); break;
      default: break;
    }
  }
}

}  // namespace

int SYS_CfgAdd(const char* text) {
  errClear();
  if (!text) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  char* copy = SYS_StrDup(text);
  auto** grown = static_cast<char**>(SYS_MemGet(sizeof(char*) * static_cast<size_t>(count + 1)));
  if (!copy || !grown) {
    SYS_MemFree(copy);
    SYS_MemFree(grown);
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  if (count) std::memcpy(grown, args, sizeof(char*) * static_cast<size_t>(count));
  grown[count] = copy;
  SYS_MemFree(args);
  args = grown;
  ++count;
  return 0;
}

int SYS_CfgInit(int argc, char** argv) {
  for (int i = 0; i < argc; ++i)
    if (argv[i]) SYS_CfgAdd(argv[i]);
  return 0;
}

int SYS_CfgDone(void) {
  for (int i = 0; i < count; ++i) SYS_MemFree(args[i]);
  SYS_MemFree(args);
  count = 0;
  return 0;
}

int SYS_CfgCount(void) { return count; }
const char* SYS_CfgArg(int index) { return index >= 0 && index < count ? args[index] : nullptr; }

intptr_t SYS_CfgGet(const char* name, int type) {
  errClear();
  if (!name) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (type < SYS_CFG_PRESENT || type > SYS_CFG_FLOAT) return 0;
  for (int i = 0; i < count; ++i) {
    if (!IsSwitch(args[i], name)) continue;
    if (type == SYS_CFG_PRESENT) return 1;
    if (i + 1 >= count) {
      errSetLastError(ERR_BADARG);
      return type == SYS_CFG_STRING ? 0 : -1;
    }
    const char* value = args[i + 1];
    switch (type) {
      case SYS_CFG_STRING: return reinterpret_cast<intptr_t>(value);
      case SYS_CFG_INTEGER: return SYS_ParseInt32(value);
      default: return SYS_TruncInt32(SYS_ParseReal(value));
    }
  }
  return 0;
}

int SYS_CfgLoad(const char* path, SYS_CFG_t* table) {
  errClear();
  if (!path || !table) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  // A missing file is an ordinary answer here, not a reason for the error callback.
  if (SYS_FileExist(path) != 0) {
    errSetLastError(ERR_NOTFOUND);
    return -1;
  }
  SYS_File_p f = SYS_FileOpen(path, SYS_FILE_TEXT);
  if (!f) {
    if (errPeekLastError() == ERR_NONE) errSetLastError(ERR_NOTFOUND);
    return -1;
  }
  CFG_LOG(SYS_DBG_MSG, " load config file: %s...\n", path);
  char line[2048];
  int lines = 0;
  LoadedTexts texts;
  while (SYS_FileGetStr(f, line, sizeof line)) {
    Setting s;
    Line kind = SplitLine(line, s);
    if (kind == Line::Skipped) continue;
    if (kind == Line::Setting) Apply(table, s, texts);
    ++lines;
  }
  SYS_FileClose(f);
  CFG_LOG(SYS_DBG_MSG, " ...%d variables loaded.\n", lines);
  return 0;
}

int SYS_CfgSave(const char* path, SYS_CFG_t* table) {
  errClear();
  if (!path || !table) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  SYS_File_p f = SYS_FileOpen(path, SYS_FILE_WRITE | SYS_FILE_TEXT);
  if (!f) {
    if (errPeekLastError() == ERR_NONE) errSetLastError(ERR_CANTOPEN);
    return -1;
  }
  CFG_LOG(SYS_DBG_MSG, " save config file: %s...\n", path);
  int saved = 0;
  for (SYS_CFG_t* row = table; row->key; ++row) {
    if (row->condition && !*row->condition) continue;
    ++saved;
    if (!row->variable) continue;
    switch (row->type) {
      case SYS_CFG_BOOL:
        SYS_FilePutStr(f, "%s = \"%s\"\n", row->key, *static_cast<int32_t*>(row->variable) ? "true" : "false");
        break;
      case SYS_CFG_TEXT:
        if (const char* text = *static_cast<char**>(row->variable)) SYS_FilePutStr(f, "%s = \"%s\"\n", row->key, text);
        break;
      case SYS_CFG_INT: SYS_FilePutStr(f, "%s = \"%d\"\n", row->key, *static_cast<int32_t*>(row->variable)); break;
      case SYS_CFG_REAL:
        SYS_FilePutStr(f, "%s = \"%s\"\n", row->key,
                       SYS_FormatFixed6(*static_cast<float*>(row->variable)).c_str());
        break;
      default: break;
    }
  }
  CFG_LOG(SYS_DBG_MSG, " ... saved %d variable.\n", saved);
  SYS_FileClose(f);
  return 0;
}
