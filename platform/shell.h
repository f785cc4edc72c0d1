// Shell folders: the user's special folders, found the way the desktop
// environment keeps them.
#pragma once
#include "platform/win32.h"

#define MAX_PATH 260
#define CSIDL_DESKTOPDIRECTORY 0x0010

// Fills path (MAX_PATH bytes) with the folder, never creating it. Only the
// desktop folder is known: $XDG_DESKTOP_DIR, else the XDG user-dirs file's
// entry, else $HOME/Desktop. FALSE (and an empty path) when there is none.
BOOL SHGetSpecialFolderPathA(HWND owner, LPSTR path, int folder, BOOL create);
