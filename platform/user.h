// User-interface services: the message box.
#pragma once
#include "platform/win32.h"

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_YESNO 0x00000004u
#define MB_ICONERROR 0x00000010u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONINFORMATION 0x00000040u
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

// Shows the text (always also on stderr). With QUARN_MSGBOX_TEST set in the
// environment it answers at once (IDOK, or IDYES for a yes/no box) and, when
// QUARN_MSGBOX_LOG names a file, appends "caption|text\n" to it.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

namespace plat {
// A hook that shows the box on a display (filled in by the window layer);
// it returns 0 when it could not show one.
using MessageBoxHook = int (*)(HWND, LPCSTR, LPCSTR, UINT);
void SetMessageBoxHook(MessageBoxHook hook);
}  // namespace plat
