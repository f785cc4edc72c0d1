// The message box: stderr always, a window when the window layer can show one,
// and a test mode that answers at once.
#include "platform/user.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {
std::atomic<plat::MessageBoxHook> boxHook{nullptr};

int DefaultAnswer(UINT type) { return (type & 0x0Fu) == MB_YESNO ? IDYES : IDOK; }
}  // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  const char* t = text ? text : "";
  const char* c = caption ? caption : "";
  std::fprintf(stderr, "%s: %s\n", c, t);
  std::fflush(stderr);
  if (std::getenv("QUARN_MSGBOX_TEST")) {
    if (const char* log = std::getenv("QUARN_MSGBOX_LOG")) {
      if (FILE* f = std::fopen(log, "a")) {
        std::fprintf(f, "%s|%s\n", c, t);
        std::fclose(f);
      }
    }
    return DefaultAnswer(type);
  }
  if (auto hook = boxHook.load()) {
    if (int answer = hook(owner, text, caption, type)) return answer;
  }
  return DefaultAnswer(type);
}

namespace plat {
void SetMessageBoxHook(MessageBoxHook hook) { boxHook.store(hook); }
}  // namespace plat
