// The window-manager binding unit: the window manager's types for the
// application units, its registry entry (1) and FatalError, the one way the
// units end the program on a condition they cannot go on from.
#pragma once
#include "framework/wm/wm.h"
#include "units/shortstr.h"

typedef wm_videomode_t* wm_videomode_p;
typedef wm_mouse_t* wm_mouse_p;
typedef wm_key_t* wm_key_p;
typedef wm_conf_t* wm_conf_p;
typedef wm_event_t* wm_event_p;

// Registers "Window manager ..." / "Uninit window manager ..." as entry 1.
void WindowManagerUnitInit(void);
// wmInit; a failure is fatal ("WM initialization error.").
void WindowManagerInit(void);
// Nothing: the window manager is never stopped through the registry.
void WindowManagerDone(void);
// Shows the text in a box captioned "Error!", logs it and shuts down with
// exit code 1. Never returns.
[[noreturn]] void FatalError(const ShortString& text);
