// The window-manager binding unit.
#include "units/wmunit.h"

#include <cstring>

#include "platform/user.h"
#include "units/sysunit.h"

void WindowManagerUnitInit(void) {
  RegisterInit("Window manager ...", 1, WindowManagerInit);
  RegisterExit("Uninit window manager ...", 1, WindowManagerDone);
}

void WindowManagerInit(void) {
  if (wmInit() != 0) FatalError("WM initialization error.");
}

void WindowManagerDone(void) {}

void FatalError(const ShortString& text) {
  char message[256];
  std::memcpy(message, text.data(), text.size());
  message[text.size()] = 0;
  // A full-screen mode would hide the box: the desktop comes back first.
  wmRestoreVideoMode();
  MessageBoxA(nullptr, message, "Error!", MB_OK);
  Log(text);
  // A fatal error is not a success: the exit code tells callers so.
  Shutdown(1);
}
