// Phrase files: key = "text" lines read into a list looked up by CRC-32.
#include "framework/base/lang.h"

#include <cstring>
#include <memory>
#include <string_view>

#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/z.h"

#define LANG_LOG(level, ...) SYS_LOG_TAGGED(level, "[lang]", __VA_ARGS__)

namespace {

// Room for a line at the limit, its line feed and the terminator: a read
// that fills the buffer without reaching a line end marks an overlong line.
constexpr int kBufferSize = SYS_LANG_LINE_LIMIT + 2;
constexpr char kUnfilled = 1;

// A tracked text that releases itself on every return path.
struct MemDeleter {
  void operator()(char* p) const { SYS_MemFree(p); }
};
using TrackedText = std::unique_ptr<char, MemDeleter>;

char* CopyOf(std::string_view text) {
  auto* copy = static_cast<char*>(SYS_MemGet(text.size() + 1));
  if (!copy) return nullptr;
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = 0;
  return copy;
}

uint32_t KeyCrc(std::string_view key) {
  // The empty key answers -1, which stands as 0xFFFFFFFF like any CRC.
  auto crc = static_cast<uint32_t>(SYS_ZCrc32(key.data(), static_cast<uint32_t>(key.size())));
  errClear();
  return crc;
}

void FreePhrase(SYS_LangPhrase_t* phrase) {
  if (!phrase) return;
  SYS_MemFree(phrase->key);
  SYS_MemFree(phrase->text);
  SYS_MemFree(phrase);
}

void FreeAll(SYS_List_p list) {
  for (SYS_List_p node = list; node; node = node->next) FreePhrase(static_cast<SYS_LangPhrase_t*>(node->data));
  SYS_ListRemove(list);
}

struct Split {
  std::string_view key, text;
};

// Key: before the first "=", up to its first blank. Text: between the first
// two double quotes of what lies between the first and the second "=".
Split SplitLine(std::string_view line) {
  size_t eq = line.find('=');
  std::string_view key = line.substr(0, eq);
  key = key.substr(0, key.find(' '));
  if (eq == std::string_view::npos) return {key, {}};
  std::string_view rest = line.substr(eq + 1);
  rest = rest.substr(0, rest.find('='));
  size_t open = rest.find('"');
  size_t close = open == std::string_view::npos ? open : rest.find('"', open + 1);
  if (close == std::string_view::npos) return {key, {}};
  return {key, rest.substr(open + 1, close - open - 1)};
}

// The phrase part of a line: no leading blanks (tabs are no blanks), cut
// at the comment sign, even inside quotes.
std::string_view Content(const char* line) {
  std::string_view text(line);
  size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  text.remove_prefix(start);
  return text.substr(0, text.find('#'));
}

SYS_LangPhrase_t* NewPhrase(const Split& s) {
  auto* phrase = static_cast<SYS_LangPhrase_t*>(SYS_MemGet(sizeof(SYS_LangPhrase_t)));
  if (!phrase) return nullptr;
  phrase->crc = KeyCrc(s.key);
  phrase->key = CopyOf(s.key);
  phrase->text = CopyOf(s.text);
  if (!phrase->key || !phrase->text) {
    FreePhrase(phrase);
    return nullptr;
  }
  return phrase;
}

// A read that ran to the buffer's end without a line end: the line goes on.
bool Cut(const char* buffer) { return buffer[kBufferSize - 1] == 0 && buffer[kBufferSize - 2] != 0; }

}  // namespace

SYS_List_p SYS_LangRead(SYS_LangLineSource_t source, void* context, int* count) {
  errClear();
  if (count) *count = 0;
  if (!source) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  TrackedText buffer(static_cast<char*>(SYS_MemGet(kBufferSize)));
  if (!buffer) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  char* line = buffer.get();
  SYS_List_p list = nullptr;
  int added = 0;
  bool inOverlong = false;  // the pieces of an overlong line are left out, its tail too
  for (;;) {
    line[kBufferSize - 1] = kUnfilled;
    if (!source(context, line, kBufferSize)) break;
    bool cut = Cut(line);
    bool skip = inOverlong || cut;
    inOverlong = cut;
    if (skip) continue;
    std::string_view content = Content(line);
    if (content.empty()) continue;
    SYS_LangPhrase_t* phrase = NewPhrase(SplitLine(content));
    SYS_List_p grown = phrase ? SYS_ListAddLast(list, phrase) : nullptr;
    if (!grown) {
      FreePhrase(phrase);
      FreeAll(list);
      errSetLastError(ERR_NOMEM);
      return nullptr;
    }
    list = grown;
    ++added;
  }
  if (count) *count = added;
  errClear();  // the source's end of file is no failure
  return list;
}

namespace {
char* FileLine(void* context, char* buffer, int length) {
  return SYS_FileGetStr(static_cast<SYS_File_p>(context), buffer, length);
}
}  // namespace

SYS_List_p SYS_LangSetFile(const char* name) {
  // Without a name the path would be the program folder itself.
  if (!name) {
    errClear();
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  TrackedText path(SYS_PathGet(SYS_PATH_PROGRAM, name));
  errClear();
  if (!path) {
    errSetLastError(ERR_NOTFOUND);
    return nullptr;
  }
  LANG_LOG(SYS_DBG_MSG, " language file: %s...\n", path.get());
  if (SYS_FileExist(path.get()) != 0) {
    LANG_LOG(SYS_DBG_MSG, " ...not found.\n");
    errSetLastError(ERR_NOTFOUND);
    return nullptr;
  }
  SYS_File_p file = SYS_FileOpen(path.get(), SYS_FILE_TEXT);
  if (!file) {
    LANG_LOG(SYS_DBG_MSG, " ...open error.\n");
    errSetLastError(ERR_CANTOPEN);
    return nullptr;
  }
  path.reset();
  int count = 0;
  SYS_List_p list = SYS_LangRead(FileLine, file, &count);
  {
    SYS_ErrKeeper keep;
    SYS_FileClose(file);
  }
  if (errPeekLastError() != ERR_NONE) return nullptr;
  LANG_LOG(SYS_DBG_MSG, " ...added %d items.\n", count);
  return list;
}

const char* SYS_LangGetPhrase(SYS_List_p list, const char* key) {
  errClear();
  if (!list || !key) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  uint32_t crc = KeyCrc(key);
  for (SYS_List_p node = list; node; node = node->next) {
    auto* phrase = static_cast<const SYS_LangPhrase_t*>(node->data);
    if (phrase && phrase->crc == crc) return phrase->text;
  }
  LANG_LOG(SYS_DBG_MSG, " unknown phrase: '%s'\n", key);
  return key;
}

int SYS_LangDestroy(SYS_List_p list) {
  errClear();
  if (!list) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  FreeAll(list);
  errClear();
  return 0;
}
