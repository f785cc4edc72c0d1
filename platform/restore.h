// The guardian that puts the display back when the process ends (used by
// display.cpp only). It is a forked process holding the read end of a pipe:
// when every write end is gone, which happens however this process ends,
// it opens its own display connection and restores what it was told.
#pragma once
#include <cstdint>

namespace plat::restore {

// The mode found at start: RandR size index, rotation and rate.
void RememberMode(int sizeIndex, int rotation, int rate);
void ForgetMode();
// The power-off (DPMS) state found at start.
void RememberPowerOff(bool enabled);
void ForgetPowerOff();

// What the guardian does at the end, also used in-process.
void RestoreMode(void* display, int sizeIndex, int rotation, int rate);
void RestorePowerOff(void* display, bool enabled);

// Test seam: what the guardian does instead of restoring, called once per
// remembered setting (kind 1 mode with size, rotation, rate; kind 3 power-off
// with its state). Set it before the first Remember call.
using RestoreHook = void (*)(int kind, int a, int b, int c);
void SetRestoreHook(RestoreHook hook);

// DPMS, kept here because its header's types clash with the Windows ones.
// Query fails when the server has no DPMS or the monitor cannot use it.
bool QueryPowerOff(void* display, bool& enabled);

}  // namespace plat::restore
