// Feeds arbitrary bytes to the phrase-file reader as the file layer serves
// a text file's lines: whatever the lines hold (no line end, no quotes, many
// "=" or "#", zero bytes, lines longer than the reader's buffer), reading
// stays inside the buffer, every phrase obeys the format, every key answers
// a lookup, and destroying the list leaves nothing behind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/base/lang.h"
#include "framework/base/log.h"
#include "fuzz/byte_lines.h"

namespace {

// The regular file's line read: fgets, then the line end stripped.
char* Gets(void* context, char* buffer, int length) {
  if (!FuzzGets(context, buffer, length)) return nullptr;
  size_t end = std::strlen(buffer);
  if (end > 0 && buffer[end - 1] == '\n') buffer[--end] = 0;
  if (end > 0 && buffer[end - 1] == '\r') buffer[--end] = 0;
  return buffer;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes bytes{data, size, 0};
  int count = -1;
  SYS_List_p list = SYS_LangRead(Gets, &bytes, &count);
  Check(errGetLastError() == ERR_NONE);
  Check((list == nullptr) == (count == 0));
  int seen = 0;
  for (SYS_List_p node = list; node; node = node->next, ++seen) {
    auto* phrase = static_cast<const SYS_LangPhrase_t*>(node->data);
    Check(std::strlen(phrase->key) <= SYS_LANG_LINE_LIMIT);
    Check(!std::strpbrk(phrase->key, " =#"));
    Check(!std::strpbrk(phrase->text, "=#\""));
    const char* found = SYS_LangGetPhrase(list, phrase->key);
    Check(found && found != phrase->key);
  }
  Check(seen == count);
  if (list) Check(SYS_LangDestroy(list) == 0);
  return 0;
}
